import QtQuick
import QtWebEngine

// The web view draws its frames as an opaque texture (its alpha is kept, not blended): a layer
// keeps that alpha, and the layer is blended over the video.
Item {
    WebEngineView {
        objectName: "web"
        anchors.fill: parent
        backgroundColor: "transparent"
        url: pageUrl
        layer.enabled: true
    }
}
