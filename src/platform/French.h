#pragma once
// The user interface speaks French whatever the machine's locale, the C locale included:
// Qt's own texts (buttons, file dialog) through its French catalogue, and numbers, sizes,
// dates and file types through the French locale.

// Call once the application object exists. False when Qt's French catalogue is missing
// (Qt's own texts then stay English).
bool installFrench();
