#pragma once

#include "ui/frame/PaneContext.h"

class DocumentSession;
class QWidget;

// Hands the document's two dialog commands, "プロジェクトの設定(&P)..." and
// "AVIファイルの作成(&V)...", their dialogs. A command whose dialog is not given stays disabled.
void connectDocumentDialogs(DocumentSession& session, const PaneContext& context, QWidget* window);
