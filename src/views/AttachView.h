// The attachments strip: a paper-clip button and the names of the previewed message's
// attachments, each with the desktop's icon for its file name.
#pragma once

#include "views/SingleView.h"

#include <QHash>
#include <QIcon>
#include <QWidget>

#include <QAbstractButton>

class QListWidget;

namespace mendora {

// A button that is only its picture, drawn at its full size; pressed, it looks pushed in.
class CImageButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CImageButton(const QPixmap& picture, QWidget* parent = nullptr);
    QSize sizeHint() const override { return m_picture.size(); }
    const QPixmap& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};

class CAttachView1 : public QWidget, public CSingleView<CAttachView1> {
    Q_OBJECT
public:
    static constexpr int kListControlId = 32816;

    explicit CAttachView1(QWidget* parent = nullptr);

    void ClearAttachments();
    // Lists the name first, so the strip shows the names in the reverse order of adding.
    void AddAttachment(const QString& fileName);

    CImageButton* ClipButton() const { return m_button; }
    QListWidget* List() const { return m_list; }

    // The desktop's small icon for a file of that name, found from the name alone.
    QIcon IconForName(const QString& fileName);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CImageButton* m_button;
    QListWidget* m_list;
    QHash<QString, QIcon> m_icons; // by MIME type
};

} // namespace mendora
