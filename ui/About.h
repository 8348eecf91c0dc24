#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QMouseEvent;

namespace velmora {

/// The About box: the program's name and version, a maker line, the web and mail links, and the folder that holds
/// the list and the settings. A click on its background closes it; a click on a link opens it and leaves the box open.
class TFMAbout : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 322;
    static constexpr int kClientHeight = 140;

    /// `filesFolder` is the folder of the list and settings files in use.
    explicit TFMAbout(QWidget* parent = nullptr, QString filesFolder = {});
    TFMAbout(const TFMAbout&) = delete;
    TFMAbout& operator=(const TFMAbout&) = delete;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    /// "Files: " and the folder of the list and the settings, a link that opens it.
    QLabel* LabelFiles = nullptr;
    QLabel* LabelFolder = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Sets the name and version line.
    void FormShow();
    /// A click on the background: closes the box.
    void FormClick();
    /// The web link.
    void Label5Click();
    /// The mail link.
    void Label7Click();

    /// The folder of the list and settings files.
    QString FFilesFolder;
    /// Whether a press on the background waits for its release.
    bool FBackgroundPressed = false;
};

} // namespace velmora
