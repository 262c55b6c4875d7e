#pragma once

#include <QString>

// Private MIME types of the window's drags and of its clipboard. Other programs never see them as
// text, so binary content under them hands nobody garbage.
namespace mime {
// A file-table entry dragged from the file list: the payload is the slot number (0-1023) as text.
inline const QString kFileEntry = QStringLiteral("application/x-kelvane-file-entry");
// A template slot dragged from the template list: the payload is the slot number (0-63) as text.
inline const QString kTemplateSlot = QStringLiteral("application/x-kelvane-template-slot");
// The clipboard's block of events, in the clipboard block layout of the model.
inline const QString kEventBlock = QStringLiteral("application/x-kelvane-event-block");
}  // namespace mime
