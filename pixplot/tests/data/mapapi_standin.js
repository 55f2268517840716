// Stand-in for the hosted map script (API version 2) used by the page tests:
// it defines the names the page calls and records every call as JSON in
// <pre id="standin-log">, which a DOM dump then carries out of the browser.
var standinLog = [];

function standinRecord(entry) {
    standinLog.push(entry);
    var out = document.getElementById('standin-log');
    if (!out) {
        out = document.createElement('pre');
        out.id = 'standin-log';
        document.body.appendChild(out);
    }
    out.textContent = JSON.stringify(standinLog);
}

function standinPoint(p) {
    return p instanceof GLatLng ? [p.lat(), p.lng()] : null;
}

function GBrowserIsCompatible() {
    standinRecord({ call: 'GBrowserIsCompatible' });
    return true;
}

function GLatLng(lat, lng) { this.latValue = lat; this.lngValue = lng; }
GLatLng.prototype.lat = function () { return this.latValue; };
GLatLng.prototype.lng = function () { return this.lngValue; };

function GLatLngBounds(sw, ne) { this.sw = sw; this.ne = ne; }

function GLargeMapControl() { this.kind = 'GLargeMapControl'; }
function GMapTypeControl() { this.kind = 'GMapTypeControl'; }
function GScaleControl() { this.kind = 'GScaleControl'; }
function GOverviewMapControl() { this.kind = 'GOverviewMapControl'; }
var G_NORMAL_MAP = 'G_NORMAL_MAP';

function GKeyboardHandler(map) {
    standinRecord({ call: 'GKeyboardHandler', hasMap: map instanceof GMap2 });
}

function GPolyline(points, color, weight, opacity) {
    this.points = points;
    this.color = color;
    this.weight = weight;
    this.opacity = opacity;
}

function GMap2(container) {
    var rect = container ? container.getBoundingClientRect() : null;
    standinRecord({ call: 'GMap2', container: container ? container.id : null,
                    width: rect ? rect.width : 0, height: rect ? rect.height : 0 });
}
GMap2.prototype.addControl = function (control) {
    standinRecord({ call: 'addControl', control: control.kind });
};
GMap2.prototype.getBoundsZoomLevel = function (bounds) {
    standinRecord({ call: 'getBoundsZoomLevel', sw: standinPoint(bounds.sw), ne: standinPoint(bounds.ne) });
    return 17;
};
GMap2.prototype.setCenter = function (center, zoom) {
    standinRecord({ call: 'setCenter', center: standinPoint(center), zoom: zoom });
};
GMap2.prototype.setMapType = function (type) { standinRecord({ call: 'setMapType', type: type }); };
GMap2.prototype.enableDoubleClickZoom = function () { standinRecord({ call: 'enableDoubleClickZoom' }); };
GMap2.prototype.addOverlay = function (overlay) {
    var pts = overlay.points;
    standinRecord({ call: 'addOverlay',
                    count: pts.length,
                    first: pts.length ? standinPoint(pts[0]) : null,
                    last: pts.length ? standinPoint(pts[pts.length - 1]) : null,
                    color: overlay.color, weight: overlay.weight, opacity: overlay.opacity,
                    pushed: window.points.length });
};

function GUnload() { }
