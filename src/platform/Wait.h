#pragma once

// Lets every pending window event run (browser notifications, clicks, timer
// ticks), as the waits of the program do while a page loads.
void DoEvents();

// Blocks the window thread for ms milliseconds; nothing else runs meanwhile.
void Sleep(int ms);
