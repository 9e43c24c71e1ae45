#pragma once

// The kinds of client and backup the Vaultix backup component knows, and the results its
// controls report in ModalResult.

#include <QtGlobal>

// The product a backup is made for.
enum TBackupClient : qint8 { bcQelvaro = 0, bcFennrick = 1 };

// The kind of backup; passed on to the component as its ordinal.
enum TBackupMode : qint8 {
    bmStandard = 0,
    bmSqlUpdate = 1,
    bmMonthEnd = 2,
    bmRequest = 3,
    bmAutomatic = 4,
    bmSendGDB = 5,
    bmSendFiles = 6,
};

// ModalResult of a control: 0 while it works, then one of the others. Only mrSuccess
// counts as success.
inline constexpr int mrWorking = 0;
inline constexpr int mrSuccess = 1;
inline constexpr int mrCancelled = 2;
inline constexpr int mrFailed = 3;
