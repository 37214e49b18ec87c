#pragma once
class QWidget;

// Places a window in the middle of the screen it is on.
void CenterOnScreen(QWidget *window);
