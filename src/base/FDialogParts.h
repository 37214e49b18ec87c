#pragma once
// Pieces every window of the program shares.

#include <initializer_list>

class QHBoxLayout;
class QPushButton;
class QWidget;

// Places a window in the middle of the screen it is on.
void CenterOnScreen(QWidget *window);

// The dialogs' "Ok" / "Cancel" row, right-aligned. No button is a default
// button: Enter belongs to the edit boxes.
QHBoxLayout *OkCancelRow(QPushButton *&ok, QPushButton *&cancel);

// Gives the widgets the largest type, from largestPx down to smallestPx, at
// which the widest of them fits into room pixels. Windows of a fixed size
// keep their size and their texts stay whole.
void FitTypeToWidth(std::initializer_list<QWidget *> widgets, int room, int largestPx,
                    int smallestPx);
