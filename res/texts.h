// The texts of the program's messages that more than one place shows, and
// the captions of its message boxes. Windows code only: the literals become
// code page 932 bytes as they are compiled.
#pragma once

// Captions: refused input and failures; questions and notices; the two
// write failures, which keep their English caption.
#define TEXT_ERROR_CAPTION "エラー"
#define TEXT_CONFIRM_CAPTION "確認"
#define TEXT_WRITE_FAILURE_CAPTION "Error"

#define TEXT_KEY_EMPTY "Keyが空なので，追加されません"
#define TEXT_DATA_EMPTY "Dataが空なので，追加されません"
#define TEXT_OVERWRITE "上書きしますか？"
