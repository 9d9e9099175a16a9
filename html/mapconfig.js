// Settings of the online map page; edit them beside the program to use another tile server or
// address search service. "{z}/{x}/{y}" and "{q}" are filled in by the page.
window.orvexMapOptions = {
  offline: false,
  tileUrl: 'https://tile.openstreetmap.org/{z}/{x}/{y}.png',
  geocodeUrl: 'https://nominatim.openstreetmap.org/search?format=json&limit=1&q={q}'
};
