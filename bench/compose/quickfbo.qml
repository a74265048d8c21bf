import QtQuick
import QtWebEngine
import Spike

Item {
    MpvItem { anchors.fill: parent }
    WebEngineView {
        objectName: "web"
        anchors.fill: parent
        visible: pageUrl != ""
        backgroundColor: "transparent"
        url: pageUrl
        layer.enabled: true
    }
}
