#include "ui/dialogs/ProjectPropertiesDialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/ProjectSettings.h"
#include "model/TypedTime.h"
#include "platform/Path.h"
#include "ui/dialogs/DialogControls.h"
#include "ui/dialogs/FieldValidation.h"

namespace kelvane {

namespace {

QString fromU16(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

}  // namespace

const QStringList& defaultDrawMethodNames() {
    static const QStringList names = {
        QStringLiteral("システムの既定（INIファイル）"), QStringLiteral("標準（初期バージョン）"),
        QStringLiteral("標準"), QStringLiteral("線形補間"), QStringLiteral("線形補間と色補正")};
    return names;
}

ProjectPropertiesDialog::ProjectPropertiesDialog(QWidget* parent, const ProjectSettingsForm& form)
    : QDialog(parent), form_(form) {
    setWindowTitle(QStringLiteral("プロジェクトのプロパティ"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    int row = 0;
    auto addField = [&](const QString& label, int widthChars) {
        QLineEdit* edit = makeEdit(this, label, widthChars);
        grid->addWidget(makeLabel(this, label, edit), row, 0);
        grid->addWidget(edit, row, 1, 1, 3);
        ++row;
        return edit;
    };
    basePath_ = addField(QStringLiteral("ファイルの基準パス"), 30);
    QPushButton* browse = makeButton(this, QStringLiteral("参照"));
    grid->addWidget(browse, row - 1, 4);
    width_ = addField(QStringLiteral("出力の幅"), 6);
    height_ = addField(QStringLiteral("出力の高さ"), 6);
    frameRate_ = addField(QStringLiteral("フレームレート"), 10);
    length_ = addField(QStringLiteral("動画の長さ"), 10);
    lengthSeconds_ = makeLabel(this, QString(), length_);
    grid->addWidget(lengthSeconds_, row - 1, 4);
    const QString background = QStringLiteral("背景色(RGB)");
    const QString parts[3] = {QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")};
    for (int i = 0; i < 3; ++i) {
        rgb_[i] = makeEdit(this, background + u' ' + parts[i], 4);
        grid->addWidget(rgb_[i], row, i + 1);
    }
    grid->addWidget(makeLabel(this, background, rgb_[0]), row++, 0);
    drawMethod_ = makeCombo(this, QStringLiteral("既定の描画方法"), defaultDrawMethodNames());
    grid->addWidget(makeLabel(this, QStringLiteral("既定の描画方法"), drawMethod_), row, 0);
    grid->addWidget(drawMethod_, row++, 1, 1, 3);
    addOkCancel(this, layout);
    connect(browse, &QPushButton::clicked, this, &ProjectPropertiesDialog::browseBasePath);

    basePath_->setText(fromU16(form.basePath));
    width_->setText(QString::number(form.width));
    height_->setText(QString::number(form.height));
    frameRate_->setText(QString::asprintf("%.*g", 15, form.frameRate));
    length_->setText(fromU16(form.length));
    rgb_[0]->setText(QString::number(form.red));
    rgb_[1]->setText(QString::number(form.green));
    rgb_[2]->setText(QString::number(form.blue));
    drawMethod_->setCurrentIndex(
        form.defaultDrawMethod >= 0 && form.defaultDrawMethod <= 4 ? form.defaultDrawMethod : 0);
    const auto showSeconds = [this] {
        lengthSeconds_->setText(lengthSecondsText());
        lengthSeconds_->setAccessibleName(lengthSeconds_->text());
    };
    connect(length_, &QLineEdit::textChanged, this, showSeconds);
    connect(frameRate_, &QLineEdit::textChanged, this, showSeconds);
    showSeconds();
}

QString ProjectPropertiesDialog::lengthSecondsText() const {
    // The rate being typed counts; until it reads as one, the project's own.
    double rate = form_.frameRate;
    double typedRate = 0;
    if (!checkNumber(frameRate_->text(), 0.001, 1000.0, typedRate)) {
        rate = typedRate;
    }
    uint32_t frames = 0;
    const TypedTime typed = ParseTypedTime(length_->text().trimmed().toStdU16String());
    if (!(rate > 0) || !TypedTimeToFrames(typed, RoundedFrameDuration(form_.frameRate), frames)) {
        return QStringLiteral("= ? 秒");
    }
    return QStringLiteral("= %1 秒").arg(QString::number(frames / rate, 'f', 3));
}

std::optional<ProjectPropertiesDialog::Refusal> ProjectPropertiesDialog::readControls() {
    ProjectSettingsForm f = form_;
    if (auto message = checkLength(basePath_->text(), int(kPathUnits) - 1)) {
        return Refusal{basePath_, *message};
    }
    f.basePath = basePath_->text().toStdU16String();
    if (auto message = checkUnsigned(width_->text(), 1, 4096, f.width)) {
        return Refusal{width_, *message};
    }
    if (auto message = checkUnsigned(height_->text(), 1, 4096, f.height)) {
        return Refusal{height_, *message};
    }
    if (auto message = checkNumber(frameRate_->text(), 0.001, 1000.0, f.frameRate)) {
        return Refusal{frameRate_, *message};
    }
    f.length = length_->text().toStdU16String();
    uint8_t* channels[3] = {&f.red, &f.green, &f.blue};
    for (int i = 0; i < 3; ++i) {
        uint32_t value = 0;
        if (auto message = checkUnsigned(rgb_[i]->text(), 0, 255, value)) {
            return Refusal{rgb_[i], *message};
        }
        *channels[i] = uint8_t(value);
    }
    f.defaultDrawMethod = drawMethod_->currentIndex();
    // The rate shown was printed with 15 digits; an untouched field keeps the exact rate, so
    // that OK without a change never asks about rescaling.
    if (frameRate_->text() == QString::asprintf("%.*g", 15, form_.frameRate)) {
        f.frameRate = form_.frameRate;
    }
    form_ = f;
    return std::nullopt;
}

void ProjectPropertiesDialog::accept() {
    if (const auto refusal = readControls()) {
        refuseField(this, refusal->field, refusal->message);
        return;
    }
    QDialog::accept();
}

void ProjectPropertiesDialog::browseBasePath() {
    QFileDialog dialog(this, QStringLiteral("ファイルの基準パスを選択してください。"),
                       basePath_->text());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        basePath_->setText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
    }
}

}  // namespace kelvane
