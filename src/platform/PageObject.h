#pragma once

#include <QPointer>

class BrowserElement;

// A page element, by the handle the page agent gave it in one document of one
// browser element. It goes stale when the document does.
struct PageObject
{
    QPointer<BrowserElement> browser;
    int handle = 0;

    bool isNull() const { return handle == 0 || browser.isNull(); }
};
