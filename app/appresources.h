#pragma once

// Registers the application's images (the sign-in page pictures under
// ":/login/Image/Login/" and ":/del.png"). Safe to call more than once.
void initAppResources();
