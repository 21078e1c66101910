// At start-up: the changes a program that did not end normally left in the
// recovery journal are offered back.
#pragma once

#include <windows.h>

#include "table/recovery_journal.h"

// Asks whether to restore the journal's changes and, on yes, restores them:
// true when the start's table is settled. False when there was nothing to
// offer or the person declined (the journal is gone then), or when the
// journal could not be read (it is kept, and the person told): the start
// goes on with its usual table. The table the changes were made to is
// taken in through load.
bool OfferRecovery(HWND mainWindow, const CRecoveryJournal::TableLoader& load);
