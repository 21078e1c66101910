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

// Bringing a list or dictionary in from the Open dialogs: the report after
// it ("NAME から N 件を取り込みました。" and a line for each thing done on the
// way), and the reason a file could not be brought in.
#define TEXT_INFO_CAPTION "情報"
#define TEXT_IMPORTED " から %llu 件を取り込みました。"
#define TEXT_IMPORTED_REPLACED "表に入れられない文字 %llu 個を、似た文字か「?」にしました。"
#define TEXT_IMPORTED_WINDOWS1252 "UTF-8 でないバイト %llu 個を、Windows-1252 の文字として読みました。"
#define TEXT_IMPORTED_EMPTY "Key か Data が空の %llu 件は、取り込みませんでした。"
#define TEXT_IMPORTED_JOINED "同じ Key になった見出し語 %llu 件は、前の項目にまとめました。"
#define TEXT_IMPORTED_DROPPED "前と同じ Key の %llu 件は、取り込みませんでした（最初の Data を取りました）。"
#define TEXT_IMPORTED_KEPT "%llu 件は、同じ Key がもう表にあるので、表の Data のままです。"
#define TEXT_NOT_IMPORTED " を取り込めませんでした。"
#define TEXT_TABLE_UNCHANGED "今の表はそのままです。"
#define TEXT_REASON_UNREADABLE "ファイルを開けないか、最後まで読めませんでした。"
#define TEXT_REASON_NOT_TEXT "文字として読めません（UTF-8 でも Shift-JIS でもありません）。"
#define TEXT_REASON_UNKNOWN_FORMAT "単語リストや辞書として読める形ではありません。"
#define TEXT_REASON_MALFORMED "単語リストや辞書の形が、途中で崩れています。"
#define TEXT_REASON_NO_ENTRIES "取り込める項目が一つもありません。"
#define TEXT_REASON_NO_MEMORY "メモリが足りませんでした。"
