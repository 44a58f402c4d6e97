import QtQuick
import QtQuick.Controls

// The label every view uses. Always plain text: names, host names and messages come from manifests
// and servers, and read as markup they could draw lines that aren't there or fetch images from
// anywhere, telling a stranger the user's address.
Label {
    textFormat: Text.PlainText
}
