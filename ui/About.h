#pragma once

#include <QDialog>

class QLabel;
class QMouseEvent;

namespace velmora {

/// The About box: the program's name and version, a maker line, the web and mail links. A click on its background
/// closes it; a click on a link opens it and leaves the box open.
class TFMAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFMAbout(QWidget* parent = nullptr);
    TFMAbout(const TFMAbout&) = delete;
    TFMAbout& operator=(const TFMAbout&) = delete;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;

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

    /// Whether a press on the background waits for its release.
    bool FBackgroundPressed = false;
};

} // namespace velmora
