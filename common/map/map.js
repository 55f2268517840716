// The map pane's page: draws what the program sends over the web channel
// and reports back what the user does with it. Positions arrive and leave
// in WGS-84; a tile source drawn in GCJ-02 only shifts what is drawn.
(function () {
'use strict';

var map = L.map('map', {fadeAnimation: false, zoomControl: true, worldCopyJump: true, maxZoom: 19});
map.setView([20, 110], 3);
L.control.scale({imperial: false}).addTo(map);

var bridge = null;
var tiles = {url: '', attribution: '', gcj02: false};
var tileLayer = null;
var segments = [];      // WGS-84, as sent
var trackLayer = L.layerGroup().addTo(map);
var cluster = L.markerClusterGroup({showCoverageOnHover: false, maxClusterRadius: 60,
                                    spiderfyOnMaxZoom: true, chunkedLoading: true});
cluster.addTo(map);
var markers = {};       // id -> L.marker
var data = {};          // id -> what was sent for it
var thumbs = {};        // id -> data URI
var selected = '';
var fixLayer = null;
var fitted = false;

// ---- GCJ-02: the published offset of Chinese map services, applied only
// inside China's rough bounding box, as those services do.
var A = 6378245.0, EE = 0.00669342162296594323;
function outOfChina(lat, lng) {
    return lng < 72.004 || lng > 137.8347 || lat < 0.8293 || lat > 55.8271;
}
function tLat(x, y) {
    var r = -100.0 + 2.0 * x + 3.0 * y + 0.2 * y * y + 0.1 * x * y + 0.2 * Math.sqrt(Math.abs(x));
    r += (20.0 * Math.sin(6.0 * x * Math.PI) + 20.0 * Math.sin(2.0 * x * Math.PI)) * 2.0 / 3.0;
    r += (20.0 * Math.sin(y * Math.PI) + 40.0 * Math.sin(y / 3.0 * Math.PI)) * 2.0 / 3.0;
    r += (160.0 * Math.sin(y / 12.0 * Math.PI) + 320 * Math.sin(y * Math.PI / 30.0)) * 2.0 / 3.0;
    return r;
}
function tLng(x, y) {
    var r = 300.0 + x + 2.0 * y + 0.1 * x * x + 0.1 * x * y + 0.1 * Math.sqrt(Math.abs(x));
    r += (20.0 * Math.sin(6.0 * x * Math.PI) + 20.0 * Math.sin(2.0 * x * Math.PI)) * 2.0 / 3.0;
    r += (20.0 * Math.sin(x * Math.PI) + 40.0 * Math.sin(x / 3.0 * Math.PI)) * 2.0 / 3.0;
    r += (150.0 * Math.sin(x / 12.0 * Math.PI) + 300.0 * Math.sin(x / 30.0 * Math.PI)) * 2.0 / 3.0;
    return r;
}
function wgsToGcj(lat, lng) {
    if (outOfChina(lat, lng))
        return [lat, lng];
    var dLat = tLat(lng - 105.0, lat - 35.0), dLng = tLng(lng - 105.0, lat - 35.0);
    var radLat = lat / 180.0 * Math.PI;
    var magic = Math.sin(radLat);
    magic = 1 - EE * magic * magic;
    var sqrtMagic = Math.sqrt(magic);
    dLat = (dLat * 180.0) / ((A * (1 - EE)) / (magic * sqrtMagic) * Math.PI);
    dLng = (dLng * 180.0) / (A / sqrtMagic * Math.cos(radLat) * Math.PI);
    return [lat + dLat, lng + dLng];
}
// The inverse by iteration: a few steps bring it well under a centimetre.
function gcjToWgs(lat, lng) {
    var wLat = lat, wLng = lng;
    for (var i = 0; i < 8; ++i) {
        var g = wgsToGcj(wLat, wLng);
        wLat += lat - g[0];
        wLng += lng - g[1];
    }
    return [wLat, wLng];
}
function shown(lat, lng) {
    return tiles.gcj02 ? wgsToGcj(lat, lng) : [lat, lng];
}
function wgsOf(latlng) {
    return tiles.gcj02 ? gcjToWgs(latlng.lat, latlng.lng) : [latlng.lat, latlng.lng];
}

// ---- what the page reports after each change
function report() {
    if (!bridge)
        return;
    var vertices = 0;
    segments.forEach(function (s) { vertices += s.length; });
    var list = [];
    Object.keys(markers).forEach(function (id) {
        var at = wgsOf(markers[id].getLatLng());
        list.push({id: id, lat: at[0], lng: at[1]});
    });
    bridge.drawn(JSON.stringify({vertices: vertices, markers: list, selected: selected,
                                 gcj02: tiles.gcj02, tiles: tiles.url}));
}

function fitAll() {
    var bounds = L.latLngBounds([]);
    trackLayer.eachLayer(function (l) { if (l.getBounds) bounds.extend(l.getBounds()); });
    Object.keys(markers).forEach(function (id) { bounds.extend(markers[id].getLatLng()); });
    if (!bounds.isValid())
        return false;
    if (bounds.getNorthEast().equals(bounds.getSouthWest()))
        map.setView(bounds.getCenter(), 16, {animate: false});
    else
        map.fitBounds(bounds, {padding: [24, 24], maxZoom: 17, animate: false});
    return true;
}

// ---- track
function endMarker(at, colour, text) {
    return L.circleMarker(at, {radius: 8, color: '#ffffff', weight: 2, fillColor: colour,
                               fillOpacity: 1}).bindTooltip(text);
}
function drawTrack() {
    trackLayer.clearLayers();
    var drawn = segments.filter(function (s) { return s.length > 0; });
    drawn.forEach(function (s) {
        var line = s.map(function (p) { return shown(p[0], p[1]); });
        L.polyline(line, {color: '#1736e6', weight: 4, opacity: 0.85, className: 'map-track'})
            .addTo(trackLayer);
    });
    if (drawn.length > 0) {
        var first = drawn[0][0], lastSeg = drawn[drawn.length - 1];
        var last = lastSeg[lastSeg.length - 1];
        endMarker(shown(first[0], first[1]), '#1a9c2e', '起点').addTo(trackLayer);
        endMarker(shown(last[0], last[1]), '#d3201c', '终点').addTo(trackLayer);
    }
}

// ---- markers
function popupFor(id) {
    var d = data[id];
    var box = document.createElement('div');
    box.className = 'map-popup';
    if (thumbs[id]) {
        var img = document.createElement('img');
        img.src = thumbs[id];
        box.appendChild(img);
    }
    var text = document.createElement('div');
    text.textContent = d.text;
    box.appendChild(text);
    return box;
}
function iconFor(id) {
    var d = data[id];
    var cls = (d.photo ? 'map-thumb' : 'map-point') + (d.hand ? ' by-hand' : '')
        + (id === selected ? ' selected' : '');
    if (!d.photo)
        return L.divIcon({className: '', html: '<div class="' + cls + '" style="width:14px;height:14px"></div>',
                          iconSize: [14, 14], iconAnchor: [7, 7], popupAnchor: [0, -7]});
    var inner = thumbs[id] ? '<img src="' + thumbs[id] + '">' : '';
    return L.divIcon({className: '', html: '<div class="' + cls + '" style="width:40px;height:40px">' + inner
                          + '</div>', iconSize: [40, 40], iconAnchor: [20, 20], popupAnchor: [0, -20]});
}
function makeMarker(id) {
    var d = data[id];
    var m = L.marker(shown(d.lat, d.lng), {icon: iconFor(id), draggable: !!d.drag, title: d.title,
                                          autoPan: true});
    m.mapId = id;
    m.bindPopup(function () { return popupFor(id); }, {maxWidth: 260, minWidth: 120});
    m.on('click', function () { if (bridge) bridge.markerClicked(id); });
    m.on('dragend', function () {
        var at = wgsOf(m.getLatLng());
        if (bridge)
            bridge.markerMoved(id, at[0], at[1]);
    });
    // Thumbnails are asked for only when a marker is drawn on its own, so a
    // thousand photos cost a thousand decodes only if all are looked at.
    m.on('add', function () {
        if (data[id] && data[id].photo && !thumbs[id] && bridge)
            bridge.wantThumbnail(id);
    });
    return m;
}
function setMarkers(list) {
    var next = {};
    list.forEach(function (d) { next[d.id] = d; });
    var gone = [], added = [];
    Object.keys(markers).forEach(function (id) {
        var old = data[id], d = next[id];
        if (!d || d.photo !== old.photo || d.drag !== old.drag) {
            gone.push(markers[id]);
            delete markers[id];
            if (!d)
                delete thumbs[id];
        }
    });
    cluster.removeLayers(gone);
    var moved = [];
    list.forEach(function (d) {
        var old = data[d.id];
        data[d.id] = d;
        var m = markers[d.id];
        if (!m) {
            markers[d.id] = makeMarker(d.id);
            added.push(markers[d.id]);
            return;
        }
        if (old.lat !== d.lat || old.lng !== d.lng) {
            moved.push(m);
            m.setLatLng(shown(d.lat, d.lng));
        }
        if (old.hand !== d.hand || old.title !== d.title) {
            m.setIcon(iconFor(d.id));
            m.options.title = d.title;
        }
    });
    Object.keys(data).forEach(function (id) { if (!next[id]) delete data[id]; });
    // The cluster places a marker when it is added: a moved one goes out and in again.
    cluster.removeLayers(moved);
    cluster.addLayers(added.concat(moved));
    if (selected && !markers[selected])
        selected = '';
}
function highlight(id, on) {
    var m = markers[id];
    if (!m)
        return;
    m.setIcon(iconFor(id));
    m.setZIndexOffset(on ? 1000 : 0);
}
function select(id) {
    var before = selected;
    selected = markers[id] ? id : '';
    if (before && before !== selected)
        highlight(before, false);
    if (!selected) {
        map.closePopup();
        return;
    }
    highlight(selected, true);
    var m = markers[selected];
    cluster.zoomToShowLayer(m, function () {
        map.panTo(m.getLatLng(), {animate: false});
        m.openPopup();
    });
}

function showFix(lat, lng, text) {
    if (fixLayer)
        map.removeLayer(fixLayer);
    fixLayer = L.circleMarker(shown(lat, lng), {radius: 7, color: '#000000', weight: 2, fillColor: '#ffe600',
                                                fillOpacity: 1}).bindPopup(text).addTo(map);
    map.panTo(fixLayer.getLatLng(), {animate: false});
    fixLayer.openPopup();
}

function setTiles(t) {
    var shift = !!t.gcj02 !== !!tiles.gcj02;
    tiles = {url: t.url || '', attribution: t.attribution || '', gcj02: !!t.gcj02};
    if (tileLayer) {
        map.removeLayer(tileLayer);
        tileLayer = null;
    }
    if (tiles.url)
        tileLayer = L.tileLayer(tiles.url, {attribution: tiles.attribution, maxZoom: 19}).addTo(map);
    if (shift) {
        drawTrack();
        Object.keys(markers).forEach(function (id) {
            markers[id].setLatLng(shown(data[id].lat, data[id].lng));
        });
        cluster.refreshClusters();
    }
}

// ---- drops of list rows onto the map
var box = map.getContainer();
box.addEventListener('dragover', function (e) { e.preventDefault(); });
box.addEventListener('drop', function (e) {
    e.preventDefault();
    var text = e.dataTransfer ? e.dataTransfer.getData('text/plain') : '';
    if (!text || !bridge)
        return;
    var at = wgsOf(map.mouseEventToLatLng(e));
    bridge.textDropped(text, at[0], at[1]);
});

window.mapPage = {map: map, markers: markers, cluster: cluster, wgsToGcj: wgsToGcj, gcjToWgs: gcjToWgs,
                  report: report};

new QWebChannel(qt.webChannelTransport, function (channel) {
    bridge = channel.objects.mapBridge;
    bridge.tilesChanged.connect(function (json) { setTiles(JSON.parse(json)); report(); });
    bridge.trackChanged.connect(function (json) {
        segments = JSON.parse(json);
        drawTrack();
        fitted = fitAll();
        report();
    });
    bridge.markersChanged.connect(function (json) {
        setMarkers(JSON.parse(json));
        if (!fitted)
            fitted = fitAll();
        report();
    });
    bridge.selectionChanged.connect(function (id) { select(id); report(); });
    bridge.fixShown.connect(function (lat, lng, text) { showFix(lat, lng, text); });
    bridge.thumbnailReady.connect(function (id, uri) {
        if (!data[id])
            return;
        thumbs[id] = uri;
        if (markers[id])
            markers[id].setIcon(iconFor(id));
    });
    bridge.pageReady();
});
})();
