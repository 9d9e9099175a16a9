/*
 * Orvex ground station map page (shared by html/earth.htm and OffLine/earth.htm).
 *
 * The program calls the global functions defined at the end of this file with string
 * arguments; the page reports what the operator does by navigating to "app:" followed by an
 * event text (four digits, ";", then comma-terminated fields). Coordinates are always latitude
 * first.
 *
 * Camera fields (the seven fields of "2001;", of "3001;" and the seven arguments of setLookAt):
 *   1 latitude of the view centre (degrees)
 *   2 longitude of the view centre (degrees)
 *   3 viewing range in metres (height of the visible area, derived from the zoom level)
 *   4 tilt in degrees (always 0: the map is seen from straight above)
 *   5 heading in degrees (always 0: north up)
 *   6 zoom level
 *   7 map mode: 0 online tiles, 1 offline page
 * setLookAt uses fields 1, 2 and 6; when field 6 is missing or not positive it derives the
 * zoom level from field 3. For "3001;" (placemark tool) fields 1 and 2 are the clicked point.
 *
 * Point tag of waypoints planned on the map: 1 (the page does not otherwise use it).
 *
 * Options (window.orvexMapOptions, set by the page before this file is loaded):
 *   offline: true on the offline page
 *   tileUrl: tile address template ({z}/{x}/{y}); "?tiles=..." in the page address overrides it
 *   geocodeUrl: address search service ("{q}" is replaced by the search text)
 *   bulkDownload: true when the tile source allows "下载离线地图" (bulk download)
 * "?store=1" in the page address (set by the program): tiles come through the program's tile
 * store, "orvextile:/{z}/{x}/{y}", with the source template and bulk flag as parameters; the
 * offline page then draws the stored tiles over the world outline.
 */
(function () {
  'use strict';

  var opts = window.orvexMapOptions || {};
  var params = new URLSearchParams(window.location.search);
  var OFFLINE = !!opts.offline;
  var TILE_URL = params.get('tiles') || opts.tileUrl || 'https://tile.openstreetmap.org/{z}/{x}/{y}.png';
  var STORE = params.get('store') === '1';
  var STORE_URL = 'orvextile:/{z}/{x}/{y}?' + (OFFLINE ? 'offline=1'
      : 'src=' + encodeURIComponent(TILE_URL) + (opts.bulkDownload ? '&bulk=1' : ''));
  var GEOCODE_URL = params.get('geocode') || opts.geocodeUrl ||
      'https://nominatim.openstreetmap.org/search?format=json&limit=1&q={q}';
  var PLAN_TAG = 1;
  // Views set by the program jump at once: a running animation would finish after the next call.
  var NOANIM = { animate: false };

  // ---------------------------------------------------------------------------------------
  // Events to the program

  var sentEvents = [];  // kept (last 200) so that a test can see what was reported
  var outbox = [];
  var sending = true;  // nothing leaves before the page has loaded (a navigation would stop it)
  // Each event is one navigation of the page to "app:<event>"; the program cancels it, so the
  // page stays. Events leave one per task, in order, so that none replaces another in flight.
  function flush() {
    if (outbox.length === 0) { sending = false; return; }
    window.location.href = 'app:' + encodeURIComponent(outbox.shift());
    setTimeout(flush, 0);
  }
  function send(text) {
    sentEvents.push(text);
    if (sentEvents.length > 200) sentEvents.shift();
    outbox.push(text);
    if (!sending) { sending = true; flush(); }
  }
  function num(v) {
    var n = Number(v);
    return isFinite(n) ? n : 0;
  }
  function fixed(v, d) { return num(v).toFixed(d === undefined ? 7 : d); }
  function ll(latlng) { return fixed(latlng.lat) + ',' + fixed(latlng.lng) + ','; }
  function wrapLng(lng) {
    while (lng > 180) lng -= 360;
    while (lng < -180) lng += 360;
    return lng;
  }
  function norm(latlng) { return L.latLng(latlng.lat, wrapLng(latlng.lng)); }

  // ---------------------------------------------------------------------------------------
  // The map

  var map = L.map('map', {
    center: [30.0, 114.0],
    zoom: 4,
    minZoom: 1,
    maxZoom: 19,
    worldCopyJump: true,
    doubleClickZoom: false,
    zoomControl: true,
    attributionControl: true
  });
  map.attributionControl.setPrefix('Leaflet');
  L.control.scale({ imperial: false }).addTo(map);

  var statusBox = document.getElementById('pagestatus');
  // The banner: a passing message, or else the tool that is on.
  var toolBanner = '';
  function pageStatus(text) { if (statusBox) statusBox.textContent = text || toolBanner; }

  var tileLoads = 0;
  var tileErrors = 0;
  var offlineReported = false;
  function reportOffline() {
    if (offlineReported) return;
    offlineReported = true;
    pageStatus('无法加载在线地图，即将切换到离线地图');
    send('7001;');
  }

  if (!OFFLINE) {
    var tiles = L.tileLayer(STORE ? STORE_URL : TILE_URL, {
      maxZoom: 19,
      attribution: '地图数据 &copy; OpenStreetMap 贡献者'
    });
    tiles.on('tileload', function () { tileLoads++; pageStatus(''); });
    tiles.on('tileerror', function () {
      tileErrors++;
      if (tileLoads === 0 && tileErrors >= 4) reportOffline();
    });
    tiles.addTo(map);
    pageStatus('正在加载在线地图…');
    // No tile at all after a while: the online map cannot work here.
    setTimeout(function () { if (tileLoads === 0) reportOffline(); }, 15000);
  } else {
    setupOfflineLayers();
  }

  function setupOfflineLayers() {
    map.getContainer().style.background = '#a9c9e4';
    if (window.orvexWorld && window.topojson) {
      var world = window.orvexWorld;
      var key = world.objects.countries ? 'countries' : 'land';
      var land = topojson.feature(world, world.objects[key]);
      // The outline lies under the tile pane: stored tiles cover it where there are any.
      map.createPane('world').style.zIndex = 150;
      L.geoJSON(land, {
        pane: 'world',
        style: { color: '#7a6f55', weight: 0.8, fillColor: '#efe8d2', fillOpacity: 1 },
        interactive: false
      }).addTo(map);
    }
    if (STORE) L.tileLayer(STORE_URL, { maxZoom: 19, errorTileUrl: '' }).addTo(map);
    var grid = L.layerGroup({ interactive: false }).addTo(map);
    function drawGraticule() {
      grid.clearLayers();
      var z = map.getZoom();
      var step = z <= 2 ? 30 : z <= 4 ? 10 : z <= 6 ? 5 : z <= 8 ? 1 : z <= 10 ? 0.5 : 0.1;
      var b = map.getBounds();
      var lat0 = Math.max(-85, Math.floor(b.getSouth() / step) * step);
      var lat1 = Math.min(85, Math.ceil(b.getNorth() / step) * step);
      var lon0 = Math.floor(b.getWest() / step) * step;
      var lon1 = Math.ceil(b.getEast() / step) * step;
      if ((lat1 - lat0) / step > 200 || (lon1 - lon0) / step > 400) return;
      var style = { color: '#5a7da8', weight: 0.6, opacity: 0.7, interactive: false };
      for (var lat = lat0; lat <= lat1 + 1e-9; lat += step) {
        grid.addLayer(L.polyline([[lat, lon0], [lat, lon1]], style));
      }
      for (var lon = lon0; lon <= lon1 + 1e-9; lon += step) {
        grid.addLayer(L.polyline([[lat0, lon], [lat1, lon]], style));
      }
    }
    map.on('moveend zoomend', drawGraticule);
    drawGraticule();
    // Local tiles are used when the tiles folder holds at least its first tile.
    var probe = new Image();
    probe.onload = function () {
      L.tileLayer('tiles/{z}/{x}/{y}.png', { maxZoom: 19, errorTileUrl: '' }).addTo(map);
    };
    probe.src = 'tiles/0/0/0.png';
    pageStatus('离线地图');
    setTimeout(function () { pageStatus(''); }, 3000);
  }

  // ---------------------------------------------------------------------------------------
  // Drawing layers

  var routeLayer = L.layerGroup().addTo(map);
  var markLayer = L.layerGroup().addTo(map);
  var picLayer = L.layerGroup().addTo(map);
  var planeLayer = L.layerGroup().addTo(map);

  var COLOR_UNVERIFIED = '#e53935';
  var COLOR_VERIFIED = '#2e7d32';
  var COLOR_ROUTE = '#ff9800';

  var waypoints = [];  // {lat, lng, alt, tag, verified, marker}
  var routeLine = L.polyline([], { color: COLOR_ROUTE, weight: 3, opacity: 0.9 }).addTo(routeLayer);
  var showAltitudes = false;

  function waypointIcon(i, wp) {
    var color = wp.verified ? COLOR_VERIFIED : COLOR_UNVERIFIED;
    var label = String(i + 1);
    var html = '<div class="wp" style="background:' + color + '">' + label + '</div>';
    if (showAltitudes) html += '<div class="wpalt">' + wp.alt + ' 米</div>';
    return L.divIcon({ className: 'wpicon', html: html, iconSize: [22, 22], iconAnchor: [11, 11] });
  }

  function waypointTip(i, w) {
    return '航点 ' + (i + 1) + '<br>纬度 ' + fixed(w.lat, 6) + '<br>经度 ' + fixed(w.lng, 6) + '<br>高度 ' + w.alt + ' 米';
  }

  function refreshRoute() {
    routeLine.setLatLngs(waypoints.map(function (w) { return [w.lat, w.lng]; }));
    waypoints.forEach(function (w, i) {
      w.marker.setIcon(waypointIcon(i, w));
      w.marker.options.orvexIndex = i;
      w.marker.setTooltipContent(waypointTip(i, w));
    });
    updateExtension();
  }

  function makeWaypoint(lat, lng, alt, tag, index) {
    var wp = { lat: lat, lng: lng, alt: alt, tag: tag, verified: 0 };
    var m = L.marker([lat, lng], { draggable: true, keyboard: false, autoPan: true });
    m.bindTooltip('', { direction: 'top', offset: [0, -10] });
    // While dragged the tooltip follows the point and the banner steps aside.
    m.on('dragstart', function () { document.body.classList.add('wpdrag'); m.openTooltip(); });
    m.on('drag', function (e) {
      var i = waypoints.indexOf(wp);
      if (i < 0) return;
      wp.lat = e.latlng.lat; wp.lng = e.latlng.lng;
      routeLine.setLatLngs(waypoints.map(function (w) { return [w.lat, w.lng]; }));
      m.setTooltipContent(waypointTip(i, wp));
      m.openTooltip();
    });
    m.on('dragend', function () {
      document.body.classList.remove('wpdrag');
      var i = waypoints.indexOf(wp);
      if (i < 0) return;
      var p = norm(m.getLatLng());
      wp.lat = p.lat; wp.lng = p.lng;
      send('1002;' + fixed(wp.lat) + ',' + fixed(wp.lng) + ',' + wp.tag + ',' + i + ',');
      send('1005;');
      refreshRoute();
    });
    m.on('contextmenu', function (e) {
      L.DomEvent.stop(e);
      var i = waypoints.indexOf(wp);
      if (i < 0) return;
      var cp = map.latLngToContainerPoint(m.getLatLng());
      send('6001;' + i + ',' + Math.round(cp.x) + ',' + Math.round(cp.y) + ',');
    });
    m.on('dblclick', function (e) {
      L.DomEvent.stop(e);
      send('1003;' + Math.max(0, waypoints.indexOf(wp)) + ',');
    });
    m.on('click', function (e) { L.DomEvent.stop(e); });
    wp.marker = m;
    m.addTo(routeLayer);
    if (index === undefined || index >= waypoints.length) waypoints.push(wp);
    else waypoints.splice(index, 0, wp);
    return wp;
  }

  function removeWaypointAt(i) {
    var wp = waypoints[i];
    routeLayer.removeLayer(wp.marker);
    waypoints.splice(i, 1);
  }

  function clearRoute() {
    while (waypoints.length) removeWaypointAt(waypoints.length - 1);
    refreshRoute();
  }

  // Placing a planned point on the route line inserts it before the later end of the segment.
  routeLine.on('click', function (e) {
    if (tool !== 1) return;
    L.DomEvent.stop(e);
    var p = norm(e.latlng);
    var best = -1, bestD = Infinity;
    for (var i = 1; i < waypoints.length; i++) {
      var a = map.latLngToLayerPoint([waypoints[i - 1].lat, waypoints[i - 1].lng]);
      var b = map.latLngToLayerPoint([waypoints[i].lat, waypoints[i].lng]);
      var d = L.LineUtil.pointToSegmentDistance(map.latLngToLayerPoint(e.latlng), a, b);
      if (d < bestD) { bestD = d; best = i; }
    }
    if (best < 0) return;
    send('1010;' + fixed(p.lat) + ',' + fixed(p.lng) + ',0,' + PLAN_TAG + ',' + best + ',;');
    makeWaypoint(p.lat, p.lng, 0, PLAN_TAG, best);
    refreshRoute();
  });

  // Aircraft
  var planeIcon = L.divIcon({
    className: 'planeicon',
    html: '<svg class="plane" width="36" height="36" viewBox="-18 -18 36 36">' +
          '<path d="M0,-16 L3,-5 L15,2 L15,5 L3,1 L2,11 L6,14 L6,16 L0,14 L-6,16 L-6,14 L-2,11 ' +
          'L-3,1 L-15,5 L-15,2 L-3,-5 Z" fill="#1565c0" stroke="#ffffff" stroke-width="1.5"/></svg>' +
          // The altitude label is part of the marker: it moves with it (a tooltip would measure
          // itself, a layout, on every move).
          '<div class="planetip"></div>',
    iconSize: [36, 36],
    iconAnchor: [18, 18]
  });
  var plane = null;
  var planeState = null;  // {lat, lng, alt, target, heading}
  // The track is kept in pieces of at most kTrackPiecePoints points: adding positions redraws
  // only the newest piece (once for all the positions of one call), so the cost of an update does
  // not grow with the length of the flight. Each piece starts with the last point of the one
  // before it, so the line stays unbroken. A position equal to the one before adds nothing.
  var kTrackPiecePoints = 50;
  var trackStyle = { color: '#8e24aa', weight: 2, opacity: 0.9, interactive: false };
  var trackPieces = [];
  var trackLast = null;
  var track = {
    add: function (points) {
      var last = trackPieces.length ? trackPieces[trackPieces.length - 1] : null;
      var pts = last ? last.getLatLngs() : null;
      var changed = false;
      points.forEach(function (p) {
        if (trackLast && trackLast.lat === p.lat && trackLast.lng === p.lng) return;
        if (!last || pts.length >= kTrackPiecePoints) {
          if (changed) last.setLatLngs(pts);
          last = L.polyline(trackLast ? [trackLast] : [], trackStyle).addTo(planeLayer);
          trackPieces.push(last);
          pts = last.getLatLngs();
        }
        pts.push(p);
        trackLast = p;
        changed = true;
      });
      if (!changed) return;
      last.setLatLngs(pts);
      // Oldest points go a whole piece at a time once the track is longer than its limit.
      while (trackPieces.length > 1 && track.count() > kMaxTrackPoints)
        planeLayer.removeLayer(trackPieces.shift());
    },
    clear: function () {
      trackPieces.forEach(function (piece) { planeLayer.removeLayer(piece); });
      trackPieces = [];
      trackLast = null;
    },
    // Positions on the track (a piece's first point repeats the end of the piece before it).
    count: function () {
      var n = 0;
      trackPieces.forEach(function (piece) { n += piece.getLatLngs().length; });
      return Math.max(0, n - Math.max(0, trackPieces.length - 1));
    }
  };
  var extension = L.polyline([], { color: '#1565c0', weight: 2, dashArray: '6,6', interactive: false }).addTo(planeLayer);
  var extensionOn = false;
  var kMaxTrackPoints = 20000;

  function updateExtension() {
    if (!extensionOn || !planeState || waypoints.length === 0) {
      if (extension.getLatLngs().length) extension.setLatLngs([]);
      return;
    }
    var t = planeState.target;  // counted from 0, as the aircraft reports it
    var idx = (t >= 0 && t < waypoints.length) ? t : 0;
    extension.setLatLngs([[planeState.lat, planeState.lng], [waypoints[idx].lat, waypoints[idx].lng]]);
  }

  // Click point of click-to-fly and photo marks
  var clickMark = null;
  var flyTarget = null;
  var pics = [];

  // Placemarks: name -> {lat, lng, marker}
  var placemarks = {};
  function markKey(name) { name = String(name); return name.charAt(0) === '.' ? name.substring(1) : name; }
  function addPlacemark(lat, lng, name) {
    var key = markKey(name);
    if (placemarks[key]) markLayer.removeLayer(placemarks[key].marker);
    var icon = L.divIcon({
      className: 'pmicon',
      html: '<div class="pmpin"></div><div class="pmlabel"></div>',
      iconSize: [14, 14],
      iconAnchor: [7, 7]
    });
    var m = L.marker([lat, lng], { icon: icon, keyboard: false }).addTo(markLayer);
    var label = m.getElement() && m.getElement().querySelector('.pmlabel');
    if (label) label.textContent = key;
    m.on('contextmenu', function (e) {
      L.DomEvent.stop(e);
      var cp = map.latLngToContainerPoint(m.getLatLng());
      send('6002;.' + key + ',' + Math.round(cp.x) + ',' + Math.round(cp.y) + ',');
    });
    m.on('click', function (e) { L.DomEvent.stop(e); });
    placemarks[key] = { lat: lat, lng: lng, marker: m };
  }

  // ---------------------------------------------------------------------------------------
  // Tools

  var tool = 0;  // 0 restore, 1 plan route, 2 measure, 3 placemark, 7 move route
  var measureStart = null;
  var measureLine = L.polyline([], { color: '#d81b60', weight: 2, dashArray: '4,4', interactive: false }).addTo(map);
  var moveStart = null;
  var moveOrig = null;

  function setTool(code) {
    tool = code;
    measureStart = null;
    measureLine.setLatLngs([]);
    moveStart = null;
    var c = map.getContainer();
    c.classList.remove('tool-plan', 'tool-measure', 'tool-mark', 'tool-move');
    if (code === 1) c.classList.add('tool-plan');
    if (code === 2) c.classList.add('tool-measure');
    if (code === 3) c.classList.add('tool-mark');
    if (code === 7) c.classList.add('tool-move');
    if (code === 7) map.dragging.disable(); else map.dragging.enable();
    var names = { 0: '', 1: '规划航线：单击地图添加航点，拖动航点修改位置', 2: '测距：单击起点，再单击终点',
      3: '标注：单击地图添加标注', 7: '移动航线：按住鼠标拖动整条航线' };
    toolBanner = names[code] || '';
    pageStatus('');
  }

  function cameraFields(center) {
    var c = center || map.getCenter();
    var b = map.getBounds();
    var range = map.distance(L.latLng(b.getNorth(), c.lng), L.latLng(b.getSouth(), c.lng));
    return fixed(c.lat) + ',' + fixed(wrapLng(c.lng)) + ',' + fixed(range, 1) + ',0,0,' +
        map.getZoom() + ',' + (OFFLINE ? 1 : 0) + ',';
  }

  map.on('mousemove', function (e) {
    var p = norm(e.latlng);
    if (tool === 7 && moveStart) {
      var dLat = e.latlng.lat - moveStart.lat, dLng = e.latlng.lng - moveStart.lng;
      waypoints.forEach(function (w, i) {
        w.lat = moveOrig[i].lat + dLat; w.lng = moveOrig[i].lng + dLng;
        w.marker.setLatLng([w.lat, w.lng]);
      });
      routeLine.setLatLngs(waypoints.map(function (w) { return [w.lat, w.lng]; }));
    }
    if (tool === 2 && measureStart) {
      measureLine.setLatLngs([measureStart, e.latlng]);
      send('5002;' + ll(p) + '0,' + ll(measureStart) + '0,');
    } else if (tool === 1) {
      send('5005;' + ll(p) + '0,');
    } else {
      send('5001;' + ll(p) + '0,');
    }
  });

  map.on('click', function (e) {
    var p = norm(e.latlng);
    if (tool === 1) {
      send('1001;' + fixed(p.lat) + ',' + fixed(p.lng) + ',0,' + PLAN_TAG + ',;');
      makeWaypoint(p.lat, p.lng, 0, PLAN_TAG);
      refreshRoute();
    } else if (tool === 2) {
      if (!measureStart) {
        measureStart = p;
        measureLine.setLatLngs([p, p]);
      } else {
        measureLine.setLatLngs([measureStart, e.latlng]);
        send('5003;' + ll(measureStart) + '0,' + ll(p) + '0,');
        measureStart = null;
      }
    } else if (tool === 3) {
      send('3001;' + cameraFields(p));
    } else if (tool === 0) {
      send('5006;' + ll(p) + '0,');
      if (clickMark) map.removeLayer(clickMark);
      clickMark = L.circleMarker(p, { radius: 6, color: '#fdd835', weight: 2, fillOpacity: 0.3, interactive: false }).addTo(map);
    }
  });

  map.on('mousedown', function (e) {
    if (tool !== 7 || waypoints.length === 0 || e.originalEvent.button !== 0) return;
    moveStart = e.latlng;
    moveOrig = waypoints.map(function (w) { return { lat: w.lat, lng: w.lng }; });
  });
  map.on('mouseup', function () {
    if (tool !== 7 || !moveStart) return;
    moveStart = null;
    var moved = waypoints.some(function (w, i) { return w.lat !== moveOrig[i].lat || w.lng !== moveOrig[i].lng; });
    if (!moved) return;
    waypoints.forEach(function (w, i) {
      w.lng = wrapLng(w.lng);
      send('1002;' + fixed(w.lat) + ',' + fixed(w.lng) + ',' + w.tag + ',' + i + ',');
    });
    send('1005;');
    refreshRoute();
  });
  map.on('contextmenu', function () { /* menus belong to waypoints and placemarks only */ });

  // ---------------------------------------------------------------------------------------
  // Script functions called by the program (all arguments arrive as strings)

  window.delskyway = function () { clearRoute(); };

  window.setskyway = function (lat, lon, alt, tag, index) {
    var i = Math.max(0, Math.floor(num(index)));
    makeWaypoint(num(lat), num(lon), Math.trunc(num(alt)), Math.trunc(num(tag)), i);
    refreshRoute();
  };

  window.updatewaypoint = function (lat, lon, alt, tag, index) {
    var i = Math.floor(num(index));
    if (i < 0 || i >= waypoints.length) return;
    var w = waypoints[i];
    w.lat = num(lat); w.lng = num(lon); w.alt = Math.trunc(num(alt)); w.tag = Math.trunc(num(tag));
    w.marker.setLatLng([w.lat, w.lng]);
    refreshRoute();
  };

  window.delskywaypt = function (index) {
    var i = Math.floor(num(index));
    if (i < 0 || i >= waypoints.length) return;
    removeWaypointAt(i);
    refreshRoute();
  };

  window.setSkyWayPTcolor = function (index, state) {
    var i = Math.floor(num(index));
    if (i < 0 || i >= waypoints.length) return;
    waypoints[i].verified = num(state) === 1 ? 1 : 0;
    refreshRoute();
  };

  window.setpttomap = function (lat, lon) {
    map.setView([num(lat), num(lon)], Math.max(map.getZoom(), 14), NOANIM);
  };

  window.setfuncode = function (code) { setTool(Math.trunc(num(code))); };

  // The aircraft at its newest position; `earlier` ("lat,lon;lat,lon;...", optional) holds the
  // positions since the last call, oldest first, which go onto the track before it. Only what
  // changed is touched: the marker moved, turned or relabelled, the newest track piece extended.
  var planeTip = '';
  window.setplane = function (lat, lon, alt, target, heading, earlier) {
    var p = L.latLng(num(lat), num(lon));
    var was = planeState;
    planeState = { lat: p.lat, lng: p.lng, alt: num(alt), target: Math.trunc(num(target)), heading: num(heading) };
    var moved = !was || was.lat !== p.lat || was.lng !== p.lng;
    if (!plane) {
      plane = L.marker(p, { icon: planeIcon, interactive: false, keyboard: false, zIndexOffset: 1000 }).addTo(planeLayer);
    } else if (moved) {
      plane.setLatLng(p);
    }
    if (!was || was.heading !== planeState.heading) {
      var el = plane.getElement() && plane.getElement().querySelector('svg');
      if (el) el.style.transform = 'rotate(' + planeState.heading + 'deg)';
    }
    var tip = '高度 ' + planeState.alt.toFixed(0) + ' 米';
    if (tip !== planeTip) {
      var label = plane.getElement() && plane.getElement().querySelector('.planetip');
      if (label) label.textContent = tip;
      planeTip = tip;
    }
    var points = [];
    if (earlier) String(earlier).split(';').forEach(function (t) {
      var f = t.split(',');
      if (f.length === 2) points.push(L.latLng(num(f[0]), num(f[1])));
    });
    points.push(p);
    track.add(points);
    if (moved || !was || was.target !== planeState.target) updateExtension();
  };

  window.clearlineStringplane = function () { track.clear(); };
  // "1": the aircraft's position is no longer live (link closed or lost): marker and its
  // altitude greyed where they were; "0": live again.
  window.setPlaneStale = function (flag) {
    map.getContainer().classList.toggle('planestale', String(flag) === '1');
  };

  window.setplanetomap = function () { if (planeState) map.setView([planeState.lat, planeState.lng], map.getZoom(), NOANIM); };

  // Altitude mode: waypoint labels show their altitudes.
  window.setplanetrud = function () { showAltitudes = !showAltitudes; refreshRoute(); };

  // Route extension: a dashed line from the aircraft to its target waypoint.
  window.setplanetrud3d = function () { extensionOn = !extensionOn; updateExtension(); };

  // Straight-above view: north up over the whole route (or the aircraft).
  window.setV90 = function () {
    var pts = waypoints.map(function (w) { return [w.lat, w.lng]; });
    if (planeState) pts.push([planeState.lat, planeState.lng]);
    if (pts.length > 1) map.fitBounds(pts, { padding: [40, 40], animate: false });
    else if (pts.length === 1) map.setView(pts[0], Math.max(map.getZoom(), 14), NOANIM);
  };

  window.setclickpttomap = function (lat, lon, alt) {
    var p = L.latLng(num(lat), num(lon));
    if (flyTarget) map.removeLayer(flyTarget);
    flyTarget = L.marker(p, {
      icon: L.divIcon({ className: 'flyicon', html: '<div class="fly">✈</div>', iconSize: [24, 24], iconAnchor: [12, 12] }),
      interactive: false
    }).addTo(map);
    flyTarget.bindTooltip('指点飞行 ' + num(alt).toFixed(0) + ' 米', { direction: 'top' });
  };

  function gotoLatLng(lat, lon) {
    map.setView([lat, lon], Math.max(map.getZoom(), 12), NOANIM);
  }
  // "lat,lon" typed by the operator
  function parseCoordinates(text) {
    var m = /^\s*([-+]?\d+(?:\.\d+)?)\s*[,，\s]\s*([-+]?\d+(?:\.\d+)?)\s*$/.exec(text);
    if (!m) return null;
    var lat = Number(m[1]), lon = Number(m[2]);
    if (Math.abs(lat) > 90 || Math.abs(lon) > 180) return null;
    return [lat, lon];
  }
  var lastSearch = null;
  window.gotoaddress = function (text) {
    text = String(text);
    lastSearch = text;
    var c = parseCoordinates(text);
    if (c) {
      gotoLatLng(c[0], c[1]);
      send('8001;' + text.replace(/,/g, ' ') + ',' + fixed(c[0]) + ',' + fixed(c[1]) + ',');
      return;
    }
    if (OFFLINE) { pageStatus('离线模式下只能按坐标或搜索历史定位'); return; }
    pageStatus('正在搜索：' + text);
    fetch(GEOCODE_URL.replace('{q}', encodeURIComponent(text)), { headers: { 'Accept-Language': 'zh-CN' } })
      .then(function (r) { return r.json(); })
      .then(function (list) {
        if (!list || !list.length) { pageStatus('未找到：' + text); send('8002;' + text.replace(/,/g, ' ') + ','); return; }
        var lat = num(list[0].lat), lon = num(list[0].lon);
        gotoLatLng(lat, lon);
        pageStatus('');
        send('8001;' + text.replace(/,/g, ' ') + ',' + fixed(lat) + ',' + fixed(lon) + ',');
      })
      .catch(function () { pageStatus('搜索失败：' + text); });
  };

  window.gotopoint = function (lat, lon) { gotoLatLng(num(lat), num(lon)); };

  window.setLookAt = function (lat, lon, range, tilt, heading, zoom /*, mode */) {
    var z = Math.floor(num(zoom));
    if (!(z > 0)) {
      var r = num(range);
      z = r > 0 ? Math.round(Math.log2(40000000 / r)) : map.getZoom();
    }
    z = Math.max(1, Math.min(19, z));
    map.setView([num(lat), num(lon)], z, NOANIM);
  };

  window.getLookAt = function () { send('2001;' + cameraFields()); };

  window.AddPlaceMaktToMap = function (lat, lon, name) { addPlacemark(num(lat), num(lon), name); };

  window.DelPlaceMaktToMap = function (name) {
    var key = markKey(name);
    if (!placemarks[key]) return;
    markLayer.removeLayer(placemarks[key].marker);
    delete placemarks[key];
  };

  window.EditPlaceMaktToMap = function (name, newName) {
    var key = markKey(name);
    var pm = placemarks[key];
    if (!pm) return;
    markLayer.removeLayer(pm.marker);
    delete placemarks[key];
    addPlacemark(pm.lat, pm.lng, String(newName));
  };

  window.setPic = function (lat, lon /*, 0 */) {
    var m = L.circleMarker([num(lat), num(lon)], {
      radius: 4, color: '#ffffff', weight: 1, fillColor: '#00acc1', fillOpacity: 1, interactive: false
    }).addTo(picLayer);
    pics.push(m);
  };

  // ---------------------------------------------------------------------------------------
  // State for inspection by the program's tests

  window.orvexMapState = function () {
    return JSON.stringify({
      offline: OFFLINE,
      tool: tool,
      waypoints: waypoints.map(function (w) { return [w.lat, w.lng, w.alt, w.tag, w.verified]; }),
      plane: planeState,
      track: track.count(),
      placemarks: Object.keys(placemarks).sort(),
      pics: pics.length,
      flyTarget: flyTarget ? [flyTarget.getLatLng().lat, flyTarget.getLatLng().lng] : null,
      center: [map.getCenter().lat, map.getCenter().lng],
      zoom: map.getZoom(),
      showAltitudes: showAltitudes,
      extension: extensionOn,
      extensionTo: extension.getLatLngs().map(function (p) { return [p.lat, p.lng]; }),
      banner: statusBox && getComputedStyle(statusBox).display !== 'none' ? statusBox.textContent : '',
      lastSearch: lastSearch,
      sent: sentEvents.slice()
    });
  };
  window.orvexMap = map;

  // "下载离线地图": one rectangle dragged with the left button; the program reads orvexPickedBox
  // ([south, west, north, east]) afterwards. No tool acts on the map meanwhile.
  window.orvexPickBox = function () {
    var toolBefore = tool, start = null, rect = null;
    window.orvexPickedBox = null;
    tool = -1;
    map.dragging.disable();
    function down(e) {
      if (e.originalEvent.button !== 0) return;
      start = e.latlng;
      rect = L.rectangle([start, start], { color: '#e07000', weight: 2, fillOpacity: 0.1, interactive: false }).addTo(map);
    }
    function move(e) { if (rect) rect.setBounds(L.latLngBounds(start, e.latlng)); }
    function up(e) {
      if (!rect) return;
      var b = L.latLngBounds(start, e.latlng);
      map.removeLayer(rect);
      map.off('mousedown', down).off('mousemove', move).off('mouseup', up);
      map.dragging.enable();
      setTimeout(function () { tool = toolBefore; }, 0);  // after this press's click
      pageStatus('');
      window.orvexPickedBox = [b.getSouth(), b.getWest(), b.getNorth(), b.getEast()];
    }
    map.on('mousedown', down).on('mousemove', move).on('mouseup', up);
    pageStatus('按住左键拖出要下载的矩形');
  };

  window.addEventListener('load', function () {
    outbox.unshift('1000;');
    sentEvents.push('1000;');
    flush();
  });
})();
