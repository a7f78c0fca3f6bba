#pragma once
// Names that screen readers speak for controls that have none: a button without text takes its
// hint, a field the label beside it (or its hint). Windows already speak their caption.
class QWidget;

// Names the unnamed controls of root and of every widget inside it. A name set by hand stays.
void nameControls(QWidget* root);

// From now on, every window and document window is named as it is first shown.
void nameControlsOfEveryWindow();
