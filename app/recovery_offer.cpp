#include "app/recovery_offer.h"

#include <string>

#include "app/file_commands.h"
#include "core/file_name.h"
#include "res/texts.h"
#include "table/recovery_journal.h"

bool OfferRecovery(HWND mainWindow, const CRecoveryJournal::TableLoader& load)
{
    JournalContents found;
    std::string why;
    switch (RecoveryJournal.Find(found, why)) {
    case JournalFind::Nothing:
        RecoveryJournal.Discard();
        return false;
    case JournalFind::Unreadable: {
        // The changes of the crash may be in it: it stays for a later start.
        RecoveryJournal.Keep();
        std::string text = "前回の変更の控え (" + RecoveryJournal.Path() + ") を読めませんでした。\n" +
                           why + "\n控えはそのまま残します。";
        MessageBoxA(mainWindow, text.c_str(), "警告", MB_OK | MB_ICONWARNING);
        return false;
    }
    case JournalFind::Changes:
        break;
    }
    std::string text = "前回、保存されないまま終わった変更が " +
                       std::to_string(found.Changes.size()) + " 件あります。\n";
    if (CRecoveryJournal::BaseChanged(found.Base))
        text += std::string(NamePart(found.Base.TablePath)) +
                " は、その後ほかで書き換えられています。変更は今のファイルの内容に重ねて復元します。\n";
    text += "復元しますか？";
    if (MessageBoxA(mainWindow, text.c_str(), TEXT_CONFIRM_CAPTION,
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        RecoveryJournal.Discard();
        return false;
    }
    Document.ResetModified();
    TableLoad loaded = RecoveryJournal.Restore(found, load);
    if (!found.Base.TablePath.empty())
        ReportLoad(mainWindow, found.Base.TablePath, loaded, StartLoad);
    return true;
}
