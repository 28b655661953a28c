// Blank BIOS images, linked only into a build that has no BIOS library:
// the machine then runs nothing useful until a real dump is supplied.
extern const unsigned char tiravel_bios_american[8192];
extern const unsigned char tiravel_bios_japanese[8192];
const unsigned char tiravel_bios_american[8192] = {};
const unsigned char tiravel_bios_japanese[8192] = {};
