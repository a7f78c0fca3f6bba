#pragma once
// What the program sets on its application object before the main window exists: its name and
// picture, and Qt's own texts in French.

void setUpApplication();  // once the application object exists
