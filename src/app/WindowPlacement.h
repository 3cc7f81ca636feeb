#pragma once

class QMainWindow;
class Settings;

// The window's size, position and maximised state across starts. Restoring
// returns false when nothing usable is stored (no placement, or one that lies
// on no screen now), and the window keeps its first-start placement.
bool RestoreWindowPlacement(QMainWindow& window, const Settings& settings);
bool StoreWindowPlacement(const QMainWindow& window, Settings& settings);
