#pragma once

#include <cstdint>

#include "model/Document.h"
#include "model/DocumentForms.h"

class QWidget;

namespace kelvane {

// The property commands of the panes and the project settings command: each opens its dialog
// modally, and on OK writes the result back through the document as one undoable step. True when
// OK changed the project.

// The events of `track` carrying Used and Selected: one is filled in, several open blank.
bool editTrackEventProperties(QWidget* parent, Document& doc, uint32_t track, bool autoExtend);

// The templates carrying Selected: one is filled in with an empty start, several open blank.
bool editTemplateProperties(QWidget* parent, Document& doc);

// File slot `id`; an ID change moves the cursor and its mark in `selection`.
bool editFileProperties(QWidget* parent, Document& doc, uint32_t id, FileSelection& selection);

// "プロジェクトの設定": the rate question, rescale and length limit are the document's.
bool editProjectSettings(QWidget* parent, Document& doc);

}  // namespace kelvane
