#pragma once

// Lets every pending window event run (browser notifications, clicks, timer
// ticks), as the waits of the program do while a page loads.
void DoEvents();

// Blocks the window thread for ms milliseconds; nothing else runs meanwhile.
void Sleep(int ms);

// Lets every pending window event run; when none is pending, sleeps until one
// arrives. For loops that wait on something only an event can change (a
// page load), so that they do not keep a processor busy.
void DoEventsOrWait();
