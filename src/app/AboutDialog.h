// The About box: the program's picture, its name and version, and OK.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;

namespace mendora {

QString ProductVersion(); // "7.02.01"

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTextLabelId = 1024;

    explicit CAboutDlg(QWidget* parent = nullptr);

    QLabel* TextLabel() const { return m_text; }
    QPushButton* OkButton() const { return m_ok; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    QLabel* m_text = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace mendora
