#pragma once

class DriveLists;
class DriveThread;
class QComboBox;
class TDVDWriterPro2;

// Keeps the burn page's recorder list in step with sticks being plugged in and out: the engine lists
// its sticks again, the list is filled again and the recorder it showed stays chosen when it is still
// there. While a burn runs the list is left alone and followed once the burn has ended.
void FollowStickPlugging(DriveLists *lists, DriveThread *drives, TDVDWriterPro2 *engine,
                         QComboBox *CboCDRWList);
