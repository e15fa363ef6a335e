#pragma once

#include <QPointer>
#include <QString>

class BrowserElement;

// A page element, by the handle the page agent gave it in one document of one
// browser element. It goes stale when the document does.
struct PageObject
{
    QPointer<BrowserElement> browser;
    int handle = 0;
    // The recorder's id of the document the handle belongs to (handles are
    // numbered per document); empty when not known.
    QString document = {};

    bool isNull() const { return handle == 0 || browser.isNull(); }
};
