import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Advanced")
    subtitle: L10n.string("Doğrulanmış sensörler ve süreli Fan Boost")

    GroupCard {
        width: parent.width
        group: Advanced.fans
    }

    GroupCard {
        width: parent.width
        group: Advanced.temperatures
    }

    // The boost runs only through the fan helper, only on hardware a safety record names, and always
    // ends with the fans back under automatic control.
    Card {
        objectName: "fanPanel"
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: L10n.string("Fan Boost")

        Text {
            text: L10n.string("Fan Boost")
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            objectName: "helperState"
            width: parent.width
            text: Advanced.helperStateTitle
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        DataTable {
            visible: Advanced.helperFans.count > 0
            columns: Advanced.helperFanColumns
            roles: ["fan", "speed", "target", "range", "mode"]
            model: Advanced.helperFans
            firstShare: 0.16
        }
        Row {
            spacing: 12
            visible: !Advanced.isBoosting
            Switch {
                id: profileSwitch
                text: L10n.string("En yüksek güvenli hız")
                checked: Advanced.maximumSafeProfile
                onToggled: Advanced.maximumSafeProfile = checked
            }
            Text {
                id: durationLabel
                anchors.verticalCenter: parent.verticalCenter
                text: L10n.string("Süre (dakika)")
                color: Theme.text
                font.pixelSize: Theme.bodySize
            }
            SpinBox {
                objectName: "durationChoice"
                from: 1
                to: 15
                value: Advanced.durationMinutes
                onValueModified: Advanced.durationMinutes = value
                Accessible.name: durationLabel.text
            }
        }
        Row {
            spacing: 10
            Button {
                objectName: "startBoost"
                visible: !Advanced.isBoosting
                enabled: Advanced.canStartBoost
                text: L10n.string("Fan Boost'u başlat")
                Accessible.name: text
                onClicked: Advanced.startBoost()
            }
            Button {
                objectName: "stopBoost"
                visible: Advanced.isBoosting
                text: L10n.string("Otomatik yönetime dön")
                Accessible.name: text
                onClicked: Advanced.stopBoost()
            }
            Button {
                objectName: "refreshFans"
                enabled: !Advanced.isRefreshing
                text: L10n.string("Yenile")
                Accessible.name: text
                onClicked: Advanced.refreshFans()
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                visible: text !== ""
                text: Advanced.remainingText
                color: Theme.text
                font.pixelSize: Theme.bodySize
            }
        }
        AvailabilityNote {
            objectName: "boostBlocker"
            visible: text !== "" && !Advanced.isBoosting
            text: Advanced.blocker
        }
        Text {
            objectName: "fanStatus"
            width: parent.width
            visible: text !== ""
            text: Advanced.statusMessage
            wrapMode: Text.WordWrap
            color: Theme.text
            font.pixelSize: Theme.bodySize
        }
    }
}
