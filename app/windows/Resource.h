#pragma once
// Resource identifiers shared by app.rc and the windows that load the resources.
#define IDB_LOGO 100
#define IDB_GLYPH 101
