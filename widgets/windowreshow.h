#pragma once

class QWidget;

// Hides a window and shows it again at once, as a change of search type
// does, keeping the state and the place the window had: a maximised window
// comes back maximised, a normal one where it stood and at its size.
//
// A window manager may handle the hide only after the window was shown
// again (a busy desktop): it then forgets the window's state and gives it
// its size from before maximising. So the state and place are given back
// once the window manager has shown the window again (its first exposure
// after the hide), and only then: a change the user makes afterwards
// stays. A window not shown yet is simply shown.
void reshowKeepingState(QWidget& window);
