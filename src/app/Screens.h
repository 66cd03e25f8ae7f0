#pragma once

class ScreenRegistry;

// Every screen of the program: its menu entry, the permissions asked and its
// factory. A new screen adds one line in Screens.cpp.
const ScreenRegistry &screenRegistry();
