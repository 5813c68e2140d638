// Link controls: CHyperLink is a static text drawn as a web link (blue,
// underlined, hand cursor) that opens its address when clicked; CHyperLink2
// behaves the same but draws nothing, an invisible clickable area its owner
// lays over a picture. Addresses open through OpenURL, the one opener of
// the program's links.
#pragma once

#include <QLabel>
#include <QString>

#include "platform/shell.h"

namespace vexa::ui {

// Opens the address with the desktop's program for it (ShellExecute
// "open"); the result is the shell's, greater than 32 on success. There is
// no second way: the desktop's association is the browser registration.
INT_PTR OpenURL(const QString& address);

class CHyperLink : public QLabel {
public:
    explicit CHyperLink(QWidget* parent = nullptr);

    void SetURL(const QString& address) { m_sURL = address; }
    const QString& URL() const { return m_sURL; }

protected:
    // Whatever font the control is given, the link shows it underlined.
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_sURL;
    bool m_bPressed = false;
};

class CHyperLink2 : public CHyperLink {
public:
    using CHyperLink::CHyperLink;

protected:
    void paintEvent(QPaintEvent*) override {}
};

} // namespace vexa::ui
