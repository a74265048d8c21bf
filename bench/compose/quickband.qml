import QtQuick
import QtWebEngine

// As quick.qml, but the page is composed only over the band where its line is (the bottom
// quarter): what composing only the page's drawn parts would cost while its controls are hidden.
Item {
    id: root
    Item {
        y: root.height * 0.75
        width: root.width
        height: root.height - y
        clip: true
        WebEngineView {
            objectName: "web"
            y: -parent.y
            width: root.width
            height: root.height
            backgroundColor: "transparent"
            url: pageUrl
            layer.enabled: true
        }
    }
}
