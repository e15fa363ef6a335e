#pragma once

#include <QWebEngineView>

class QWebEngineProfile;

// One element of the browser control array: a web view with its own page on
// the program's private (off-the-record) profile.
class BrowserElement : public QWebEngineView
{
    Q_OBJECT
public:
    BrowserElement(int index, QWidget *parent = nullptr);
    ~BrowserElement() override;

    int index() const { return m_index; }

    static QWebEngineProfile *profile();

private:
    int m_index;
};
