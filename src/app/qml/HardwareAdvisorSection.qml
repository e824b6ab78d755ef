import QtQuick
import Kestrum
import QtQuick.Controls
import Kestrum.Presentation

SectionPage {
    id: page
    title: L10n.string("Donanım Danışmanı")
    subtitle: L10n.string("Bu bilgisayarın bileşenleri ve geçmişe dayanan donanım önerileri")

    Card {
        width: parent.width
        Accessible.role: Accessible.Grouping
        Accessible.name: HardwareAdvisor.title
        Row {
            spacing: 10
            visible: HardwareAdvisor.isDiscovering || !HardwareAdvisor.hasProfile
            BusyIndicator {
                visible: HardwareAdvisor.isDiscovering
                running: visible
                width: 28
                height: 28
                Accessible.ignored: true
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: HardwareAdvisor.isDiscovering ? L10n.string("Donanım tanınıyor…")
                                                    : L10n.string("Donanım profili henüz yok.")
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
            }
        }
        Text {
            visible: HardwareAdvisor.hasProfile
            text: HardwareAdvisor.title
            width: parent.width
            elide: Text.ElideRight
            font.pixelSize: Theme.headingSize
            font.bold: true
            color: Theme.text
        }
        Text {
            visible: HardwareAdvisor.hasProfile
            text: HardwareAdvisor.identity
            width: parent.width
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
        Text {
            visible: text !== ""
            text: HardwareAdvisor.catalogNote
            width: parent.width
            wrapMode: Text.WordWrap
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
        }
    }

    Repeater {
        model: HardwareAdvisor.groups
        delegate: GroupCard {
            width: parent ? parent.width : 0
        }
    }
}
