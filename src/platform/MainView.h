#pragma once

#include <QString>

class QWidget;

// What the logic may do with the main window's controls. FrmTestTrapEvents
// implements it; the logic never touches widgets directly.
class MainView
{
public:
    enum class Button { Record, Play };

    virtual ~MainView() = default;

    virtual QWidget *window() = 0;
    // The area in which the browser elements are stacked.
    virtual QWidget *browserArea() = 0;

    virtual void setCaption(const QString &caption) = 0;
    // fileName without folder, e.g. "record-on.bmp".
    virtual void setPicture(Button button, const QString &fileName) = 0;

    virtual QString eventsText() const = 0;
    virtual void appendEvents(const QString &text) = 0;
    virtual void clearEvents() = 0;

    virtual QString urlText() const = 0;
    virtual void setUrlText(const QString &text) = 0;
    virtual QString statusText() const = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual QString mouseLabel() const = 0;
    virtual void setMouseLabel(const QString &text) = 0;
    virtual bool isCloseVisible() const = 0;
    virtual void setCloseVisible(bool visible) = 0;

    virtual bool silentChecked() const = 0;
    virtual void setSilentChecked(bool checked) = 0;
    virtual bool recordMouseChecked() const = 0;

    virtual void setBusyPointer(bool busy) = 0;
    // Paints the window now, before a long operation starts.
    virtual void repaintNow() = 0;
    // Stacks a browser element in the browser area, filling it.
    virtual void addBrowser(QWidget *element) = 0;

    // Window placement, in twips where the layout is measured in them.
    virtual void setWindowSizeTwips(int width, int height) = 0;
    virtual bool isMaximized() const = 0;
    virtual void maximize() = 0;
    // Browser area: width := window width - left - 10, height likewise.
    virtual void fitBrowser() = 0;
    // Automation frame: height := window height - top - 10.
    virtual void fitFrame() = 0;
    // Check mode is on: shown until the check is taken.
    virtual void setCheckArmed(bool armed) = 0;

    // The windows that exist once beside the main window.
    // The Playback Log: created hidden on first use, it shows every entry of
    // the log. showLog shows it (cleared first at the start of a run); front
    // brings it to the front with the focus, at the end of one.
    virtual void showLog(bool clear, bool front) = 0;
    virtual void closeLog() = 0;
    // The Default Folders dialog: modal at start-up, modeless from the menu.
    virtual void showFolders(bool modal) = 0;
    virtual void closeFolders() = 0;
    // The About box, modal.
    virtual void showAbout() = 0;
};
