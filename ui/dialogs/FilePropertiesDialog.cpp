#include "ui/dialogs/FilePropertiesDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Path.h"
#include "settings/AppSettings.h"
#include "ui/dialogs/DialogControls.h"
#include "ui/dialogs/EffectSelectionDialog.h"
#include "ui/dialogs/FieldValidation.h"

namespace kelvane {

namespace {

QString qs(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// A check box with a mnemonic: its accessible name is the text as shown, without the marker.
QCheckBox* makeMnemonicCheck(QWidget* parent, const QString& text) {
    QCheckBox* check = makeCheck(parent, text);
    QString shown = text;
    shown.remove(u'&');
    check->setAccessibleName(shown);
    check->setObjectName(shown);
    return check;
}

}  // namespace

FilePropertiesDialog::FilePropertiesDialog(QWidget* parent, const FilePropertiesForm& form,
                                           FileDialogPaths paths, std::vector<FontRecord> fonts)
    : QDialog(parent),
      form_(form),
      paths_(std::move(paths)),
      fonts_(fonts.empty() ? installedFonts() : std::move(fonts)) {
    setWindowTitle(QStringLiteral("ファイルのプロパティ"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    int row = 0;
    auto addField = [&](const QString& label, int widthChars, int span) {
        QLineEdit* edit = makeEdit(this, label, widthChars);
        grid->addWidget(makeLabel(this, label, edit), row, 0);
        grid->addWidget(edit, row, 1, 1, span);
        ++row;
        return edit;
    };
    id_ = addField(QStringLiteral("ファイルID"), 6, 1);
    useText_ = makeCheck(this, QStringLiteral("ファイルではなくテキストを使用する"));
    grid->addWidget(useText_, row++, 0, 1, 5);
    path_ = addField(QStringLiteral("使用するファイルのパス"), 36, 4);
    auto* pathButtons = new QHBoxLayout;
    browse_ = makeButton(this, QStringLiteral("参照"));
    defaultEffect_ = makeButton(this, QStringLiteral("既定の効果を選択"));
    effectList_ = makeButton(this, QStringLiteral("効果の一覧を表示"));
    pathButtons->addStretch(1);
    pathButtons->addWidget(browse_);
    pathButtons->addWidget(defaultEffect_);
    pathButtons->addWidget(effectList_);
    grid->addLayout(pathButtons, row++, 1, 1, 4);
    referenceRate_ = addField(QStringLiteral("動画ファイルのフレームレートの参考値"), 10, 1);
    soundStream_ = makeLabel(this, QString());
    soundStream_->setObjectName(QStringLiteral("音声"));
    soundStream_->hide();
    grid->addWidget(soundStream_, row++, 1, 1, 4);
    useTransparent_ = makeCheck(this, QStringLiteral("透明色を使用"));
    grid->addWidget(useTransparent_, row++, 0, 1, 5);
    useAlpha_ = makeMnemonicCheck(this, QStringLiteral("アルファチャンネルを使用(&A)"));
    grid->addWidget(useAlpha_, row++, 0, 1, 5);
    transparentBackground_ = makeMnemonicCheck(this, QStringLiteral("背景を透明にする(&T)"));
    grid->addWidget(transparentBackground_, row++, 0, 1, 5);
    const QString colour = QStringLiteral("色(RGB)");
    const QString parts[3] = {QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B")};
    for (int i = 0; i < 3; ++i) {
        rgb_[i] = makeEdit(this, colour + u' ' + parts[i], 4);
        grid->addWidget(rgb_[i], row, i + 1);
    }
    grid->addWidget(makeLabel(this, colour, rgb_[0]), row, 0);
    colourButton_ = makeButton(this, QStringLiteral("色の選択..."));
    grid->addWidget(colourButton_, row++, 4);
    text_ = addField(QStringLiteral("表示するテキスト"), 36, 4);
    script_ = makeCombo(this, QStringLiteral("言語"), fontScripts(fonts_));
    grid->addWidget(makeLabel(this, QStringLiteral("言語"), script_), row, 0);
    grid->addWidget(script_, row++, 1, 1, 4);
    face_ = makeCombo(this, QStringLiteral("フォント名"), {});
    grid->addWidget(makeLabel(this, QStringLiteral("フォント名"), face_), row, 0);
    grid->addWidget(face_, row++, 1, 1, 4);
    size_ = addField(QStringLiteral("サイズ"), 6, 1);
    weight_ = makeCombo(this, QStringLiteral("太さ"), weightNames());
    grid->addWidget(makeLabel(this, QStringLiteral("太さ"), weight_), row, 0);
    grid->addWidget(weight_, row++, 1, 1, 2);
    auto* styles = new QHBoxLayout;
    italic_ = makeCheck(this, QStringLiteral("斜体"));
    underline_ = makeCheck(this, QStringLiteral("下線"));
    strikeOut_ = makeCheck(this, QStringLiteral("取消"));
    fontButton_ = makeButton(this, QStringLiteral("フォントの選択..."));
    smoothEdges_ = makeMnemonicCheck(this, QStringLiteral("輪郭をなめらかにする(&M)"));
    styles->addWidget(italic_);
    styles->addWidget(underline_);
    styles->addWidget(strikeOut_);
    styles->addStretch(1);
    styles->addWidget(fontButton_);
    grid->addLayout(styles, row++, 1, 1, 4);
    grid->addWidget(smoothEdges_, row++, 1, 1, 4);
    addOkCancel(this, layout);

    // The entry's font: its script and face when installed, else the first of each.
    const int match = findFont(fonts_, form.font);
    if (match >= 0) {
        script_->setCurrentText(fonts_[size_t(match)].script);
    }
    fillFaces(script_->currentText());
    if (match >= 0) {
        selectFace(fonts_[size_t(match)].face);
    }
    weight_->setCurrentIndex(weightIndex(form.font.weight));
    size_->setText(QString::number(form.font.height));
    italic_->setChecked(form.font.italic != 0);
    underline_->setChecked(form.font.underline != 0);
    strikeOut_->setChecked(form.font.strikeOut != 0);

    id_->setText(QString::number(form.id));
    useText_->setChecked(form.useText);
    path_->setText(qs(form.path));
    referenceRate_->setText(qs(form.referenceRate));
    useTransparent_->setChecked(form.useTransparent);
    useAlpha_->setChecked((form.pixelFlags & kPixelUseAlpha) != 0);
    transparentBackground_->setChecked((form.pixelFlags & kPixelTransparentBackground) != 0);
    smoothEdges_->setChecked((form.pixelFlags & kPixelSmoothText) != 0);
    rgb_[0]->setText(QString::number(form.red));
    rgb_[1]->setText(QString::number(form.green));
    rgb_[2]->setText(QString::number(form.blue));
    text_->setText(qs(form.text));
    updateEnabledState();

    connect(script_, &QComboBox::currentTextChanged, this, [this](const QString& script) {
        fillFaces(script);
        face_->setCurrentIndex(0);
    });
    connect(useText_, &QCheckBox::clicked, this, &FilePropertiesDialog::updateEnabledState);
    connect(useTransparent_, &QCheckBox::clicked, this, &FilePropertiesDialog::updateEnabledState);
    connect(path_, &QLineEdit::textChanged, this, &FilePropertiesDialog::updateEnabledState);
    connect(browse_, &QPushButton::clicked, this, &FilePropertiesDialog::browseFile);
    connect(defaultEffect_, &QPushButton::clicked, this,
            &FilePropertiesDialog::chooseDefaultEffect);
    connect(effectList_, &QPushButton::clicked, this, &FilePropertiesDialog::showEffectList);
    connect(fontButton_, &QPushButton::clicked, this, &FilePropertiesDialog::chooseFont);
    connect(colourButton_, &QPushButton::clicked, this, &FilePropertiesDialog::chooseColour);
}

void FilePropertiesDialog::showSoundStream(const QString& text) {
    soundStream_->setText(text);
    soundStream_->setAccessibleName(text);
    soundStream_->setVisible(!text.isEmpty());
    updateEnabledState();
}

void FilePropertiesDialog::fillFaces(const QString& script) {
    face_->clear();
    face_->addItems(fontFaces(fonts_, script));
}

void FilePropertiesDialog::selectFace(const QString& face) {
    const int index = face_->findText(face);
    face_->setCurrentIndex(index >= 0 ? index : 0);
}

const FontRecord* FilePropertiesDialog::selectedFont() const {
    const QString script = script_->currentText();
    const QString face = face_->currentText();
    for (const FontRecord& font : fonts_) {
        if (font.script == script && font.face == face) {
            return &font;
        }
    }
    return nullptr;
}

void FilePropertiesDialog::updateEnabledState() {
    const bool text = useText_->isChecked();
    path_->setEnabled(!text);
    browse_->setEnabled(!text);
    defaultEffect_->setEnabled(!text);
    effectList_->setEnabled(!text);
    referenceRate_->setEnabled(!text);
    useTransparent_->setEnabled(!text);
    const bool colour = text || useTransparent_->isChecked();
    for (QLineEdit* edit : rgb_) {
        edit->setEnabled(colour);
    }
    colourButton_->setEnabled(colour);
    // What the loaded file offers; another file is only known once it is loaded, and a choice
    // that does not fit it is dropped then.
    const bool samePath = path_->text() == qs(form_.path) && form_.kind != FileKind::None;
    const bool media = form_.kind == FileKind::Movie || form_.kind == FileKind::Image;
    useAlpha_->setEnabled(!text && (!samePath || (media && form_.alphaAvailable)));
    // Says what the loaded file holds: greyed once the entry is to become something else.
    soundStream_->setEnabled(!text && samePath);
    transparentBackground_->setEnabled(!text && (!samePath || form_.kind == FileKind::Project));
    smoothEdges_->setEnabled(text);
    for (QWidget* w : std::initializer_list<QWidget*>{text_, size_, italic_, underline_, strikeOut_,
                                                      script_, face_, weight_, fontButton_}) {
        w->setEnabled(text);
    }
}

std::optional<FilePropertiesDialog::Refusal> FilePropertiesDialog::readControls() {
    FilePropertiesForm f = form_;
    if (auto message = checkUnsigned(id_->text(), 0, 1023, f.id)) {
        return Refusal{id_, *message};
    }
    f.useText = useText_->isChecked();
    if (auto message = checkLength(path_->text(), int(kPathUnits) - 1)) {
        return Refusal{path_, *message};
    }
    f.path = path_->text().toStdU16String();
    f.referenceRate = referenceRate_->text().toStdU16String();
    f.useTransparent = useTransparent_->isChecked();
    f.pixelFlags = (useAlpha_->isChecked() ? kPixelUseAlpha : 0) |
                   (transparentBackground_->isChecked() ? kPixelTransparentBackground : 0) |
                   (smoothEdges_->isChecked() ? kPixelSmoothText : 0);
    uint8_t* channels[3] = {&f.red, &f.green, &f.blue};
    for (int i = 0; i < 3; ++i) {
        uint32_t value = 0;
        if (auto message = checkUnsigned(rgb_[i]->text(), 0, 255, value)) {
            return Refusal{rgb_[i], *message};
        }
        *channels[i] = uint8_t(value);
    }
    f.text = text_->text().toStdU16String();
    uint32_t size = 0;
    if (auto message = checkUnsigned(size_->text(), 0, 1024, size)) {
        return Refusal{size_, *message};
    }
    FontChoice choice;
    choice.record = selectedFont();
    choice.size = int(size);
    choice.weightIndex = weight_->currentIndex();
    choice.italic = italic_->isChecked();
    choice.underline = underline_->isChecked();
    choice.strikeOut = strikeOut_->isChecked();
    f.font = logFontFor(form_.font, choice);
    form_ = f;
    return std::nullopt;
}

void FilePropertiesDialog::accept() {
    if (const auto refusal = readControls()) {
        refuseField(this, refusal->field, refusal->message);
        return;
    }
    QDialog::accept();
}

void FilePropertiesDialog::browseFile() {
    QFileDialog dialog(this, QString(), path_->text(),
                       QStringLiteral("読み込み可能なファイル (*)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        path_->setText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
    }
}

void FilePropertiesDialog::chooseDefaultEffect() {
    path_->setText(
        QString::fromStdU16String(std::u16string(PathView(Settings().defaultEffectDll))));
}

void FilePropertiesDialog::showEffectList() {
    path_->setText(chooseEffect(this, path_->text(), paths_.basePath, paths_.projectFolder));
}

void FilePropertiesDialog::chooseFont() {
    QFont current(face_->currentText());
    const int size = int(readInteger(size_->text()).value_or(0));
    if (size > 0) {
        current.setPixelSize(size);
    }
    current.setWeight(QFont::Weight((weight_->currentIndex() + 1) * 100));
    current.setItalic(italic_->isChecked());
    current.setUnderline(underline_->isChecked());
    current.setStrikeOut(strikeOut_->isChecked());
    QFontDialog dialog(current, this);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QFont chosen = dialog.selectedFont();
    for (const FontRecord& font : fonts_) {
        if (font.face == chosen.family()) {
            if (font.script != script_->currentText()) {
                script_->setCurrentText(font.script);
            }
            selectFace(font.face);
            break;
        }
    }
    // The text is drawn by pixel height; a size in points becomes pixels at the screen's density.
    const int pixels = chosen.pixelSize() > 0
                           ? chosen.pixelSize()
                           : int(chosen.pointSizeF() * logicalDpiY() / 72.0 + 0.5);
    size_->setText(QString::number(std::clamp(pixels, 0, 1024)));
    weight_->setCurrentIndex(std::clamp(int(chosen.weight()) / 100 - 1, 0, 8));
    italic_->setChecked(chosen.italic());
    underline_->setChecked(chosen.underline());
    strikeOut_->setChecked(chosen.strikeOut());
}

void FilePropertiesDialog::chooseColour() {
    auto channel = [this](int i) {
        return int(std::clamp<int64_t>(readInteger(rgb_[i]->text()).value_or(0), 0, 255));
    };
    QColorDialog dialog(QColor(channel(0), channel(1), channel(2)), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QColor chosen = dialog.selectedColor();
    rgb_[0]->setText(QString::number(chosen.red()));
    rgb_[1]->setText(QString::number(chosen.green()));
    rgb_[2]->setText(QString::number(chosen.blue()));
}

}  // namespace kelvane
