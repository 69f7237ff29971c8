#pragma once

namespace tunevale {

// Command identifiers of the menus, toolbar and context menu.
enum CommandId {
    ID_FILE = 1020,
    ID_ADDFILES = 1021,
    ID_EXIT = 1022,
    ID_LIST = 1023,
    ID_SELECTALL = 1024,
    ID_INVERTSELECTION = 1025,
    ID_CLEARALL = 1026,
    ID_REMOVESELECTEDFILES = 1027,
    ID_HELP = 1031,
    ID_ABOUT = 1032,
    ID_WEBSITE = 1034,
    IDR_TOOBAR = 1037,
    ID_PLAY = 1042,
    ID_HELPCONTENTS = 1043,
    ID_ADDFOLDER = 1045,
    ID_CONVERT = 1046,
    ID_CONVERTTOWMA = 1047,
    ID_CONVERTTOMP = 1048,
    ID_CONVERTTOOGG = 1049,
    ID_CONVERTTOWAV = 1050,
    ID_CONVERTTOFLAC = 1051,
    ID_CONVERTTOOPUS = 1052,
    ID_CONVERTTOM4A = 1053,
    // Sort By, one per list column in column order: the keyboard's way to a header click.
    ID_SORTBYFILENAME = 1060,
    ID_SORTBYLAST = ID_SORTBYFILENAME + 5,
};

} // namespace tunevale
