// Aircraft positions on this page.
// - The program calls setplane at display rate at most (about ten times a second), with the
//   positions since its last call; each call is drawn as it comes.
// - First start: when no stored view was restored, the first aircraft position centres the map on
//   the aircraft at a close zoom, once. A view set before it arrives, by the program (restored
//   camera, search, navigation) or by the operator (mouse, wheel, keys), is left alone, and after
//   the first position the map is never moved for the aircraft again.
// - "定位飞机" (setplanetomap) centres the map on the aircraft; from a zoom at which the aircraft
//   would be a speck (its PLANE_SPAN_M span under SPECK_PX pixels) it also comes in to the
//   working zoom, the zoom of the first view. A closer zoom is kept.
(function () {
  var map = window.orvexMap;
  var showPlane = window.setplane, lookAt = window.setLookAt;
  if (!map || typeof showPlane !== 'function' || typeof lookAt !== 'function') return;
  var FIRST_ZOOM = 17;
  var PLANE_SPAN_M = 2, SPECK_PX = 3;

  var start = map.getCenter(), startZoom = map.getZoom();
  var settled = false;
  function untouched() {
    var c = map.getCenter();
    return map.getZoom() === startZoom && Math.abs(c.lat - start.lat) < 1e-9 && Math.abs(c.lng - start.lng) < 1e-9;
  }
  window.setLookAt = function () { settled = true; return lookAt.apply(window, arguments); };
  ['mousedown', 'wheel', 'touchstart', 'keydown'].forEach(function (type) {
    map.getContainer().addEventListener(type, function () { settled = true; }, true);
  });
  function firstView(lat, lon) {
    if (settled) return;
    var la = Number(lat), lo = Number(lon);
    // No position yet (no fix: 0,0 or nothing sensible): wait for a real one.
    if (!isFinite(la) || !isFinite(lo) || Math.abs(la) > 85 || Math.abs(lo) > 180 || (la === 0 && lo === 0)) return;
    settled = true;
    if (untouched()) map.setView([la, lo], FIRST_ZOOM, { animate: false });
  }

  window.setplane = function (lat, lon) {
    showPlane.apply(window, arguments);
    firstView(lat, lon);
  };
  var centre = window.setplanetomap;
  if (typeof centre === 'function') window.setplanetomap = function () {
    var result = centre.apply(window, arguments);
    var p = JSON.parse(window.orvexMapState()).plane, z = map.getZoom();
    if (!p) return result;
    var metresPerPixel = 40075016.686 * Math.cos(p.lat * Math.PI / 180) / Math.pow(2, z + 8);
    if (z < FIRST_ZOOM && PLANE_SPAN_M / metresPerPixel < SPECK_PX) map.setView([p.lat, p.lng], FIRST_ZOOM, { animate: false });
    return result;
  };
})();
