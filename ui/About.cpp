#include "About.h"

#include "Links.h"
#include "Placement.h"

#include "core/Producer.h"
#include "core/Version.h"

#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QShowEvent>
#include <QString>

#include <utility>

namespace velmora {

namespace {

constexpr int kFolderWidth = 250;

/// Gives a label the look of a link: blue, underlined, an 11-pixel font and the hand pointer.
void MakeLink(QLabel* label) {
    QFont linkFont = label->font();
    linkFont.setPixelSize(11);
    linkFont.setUnderline(true);
    label->setFont(linkFont);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
}

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    return label;
}

} // namespace

TFMAbout::TFMAbout(QWidget* parent, QString filesFolder)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FFilesFolder(std::move(filesFolder)) {
    setObjectName("FMAbout");
    setWindowTitle("About Velmora");
    QFont formFont = font();
    formFont.setPixelSize(13);
    setFont(formFont);
    setFixedSize(kClientWidth, kClientHeight);
    CentreOnDesktop(*this);
    // Modal to the main window only, so that the tray icon still answers while the box is open.
    setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);

    Label1 = AddLabel(this, "Label1", QString(), 88, 11);
    Label1->setFixedSize(149, 16);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    Label2 = AddLabel(this, "Label2", "From the Velmora team", 63, 34);
    Label2->setFixedSize(185, 18);

    Label4 = AddLabel(this, "Label4", "Web: ", 22, 65);
    Label4->adjustSize();

    Label5 = AddLabel(this, "Label5", QString::fromUtf8(kWebSite), 64, 67);
    MakeLink(Label5);
    Label5->setFixedSize(227, 13);

    Label6 = AddLabel(this, "Label6", "Email: ", 22, 89);
    Label6->adjustSize();

    Label7 = AddLabel(this, "Label7", QString::fromUtf8(kSupportMail), 64, 91);
    MakeLink(Label7);
    Label7->setFixedSize(213, 13);

    LabelFiles = AddLabel(this, "LabelFiles", "Files: ", 22, 113);
    LabelFiles->adjustSize();

    LabelFolder = AddLabel(this, "LabelFolder", QString(), 64, 115);
    MakeLink(LabelFolder);
    LabelFolder->setFixedSize(kFolderWidth, 13);
    // A long path keeps its beginning and its end; the whole of it is in the tooltip.
    LabelFolder->setText(LabelFolder->fontMetrics().elidedText(FFilesFolder, Qt::ElideMiddle, kFolderWidth));
    LabelFolder->setToolTip(FFilesFolder);

    // Presses on any label are the label's, not the background's.
    for (QLabel* label : {Label1, Label2, Label4, Label5, Label6, Label7, LabelFiles, LabelFolder}) {
        label->installEventFilter(this);
    }
}

void TFMAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TFMAbout::FormShow() {
    Label1->setText(kNameAndVersion);
}

void TFMAbout::FormClick() {
    reject();
}

void TFMAbout::Label5Click() {
    OpenWebSite();
}

void TFMAbout::Label7Click() {
    OpenMailTo();
}

bool TFMAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* label = static_cast<QLabel*>(watched);
        if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            if (watched == Label5) {
                Label5Click();
            } else if (watched == Label7) {
                Label7Click();
            } else if (watched == LabelFolder) {
                OpenFolder(FFilesFolder);
            }
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFMAbout::mousePressEvent(QMouseEvent* event) {
    FBackgroundPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void TFMAbout::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        FBackgroundPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    FBackgroundPressed = false;
    event->accept();
    if (click) {
        FormClick();
    }
}

} // namespace velmora
