// Settings of the online map page; edit them beside the program to use another tile server or
// address search service. "{z}/{x}/{y}" and "{q}" are filled in by the page.
window.orvexMapOptions = {
  offline: false,
  tileUrl: 'https://tile.openstreetmap.org/{z}/{x}/{y}.png',
  // "下载离线地图" is offered only for a tile source whose usage policy allows bulk download:
  // set bulkDownload: true for such a source (your own tile server, a provider's bulk service).
  // The public OpenStreetMap server forbids it.
  bulkDownload: false,
  geocodeUrl: 'https://nominatim.openstreetmap.org/search?format=json&limit=1&q={q}'
};
