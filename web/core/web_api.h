// The page's C API over the core's operations. Every call returns a JSON object (see web_json.h:
// strings are code page 932 bytes) that stays valid until the next call; each one carries "ok"
// and "messages" (the Outcome: caption, text, textEn and the table text's name as "id", in
// order). Paths name files of the module's in-memory file system (see web_paths.h).
// Changing calls come in two steps where the program asks first: a check that returns the
// question, then the write.
#pragma once

#define ZW_API extern "C"

// The code tables from a code file (the built-in one: "/codes/CodeChg.txt").
ZW_API const char* zw_load_codes(const char* path);
// The disks of an image file (a D88 may hold several): {"disks": [{"index", "name",
// "protected"}]} (one entry for a file of one disk), "recognised" (the container its bytes
// show, "" for none) and "empty".
ZW_API const char* zw_disks(const char* path);
// Opens disk `disk` of the image under `mode` (0 MZ, 1 PC, 2 the identify verdict) in `ascii`
// transfer mode and reads its volume: the listing (see zw_listing) and "identify" (the
// identification report under mode 2, "text" and "textEn", "verdict" -1, 0 MZ or 1 PC).
ZW_API const char* zw_open(const char* path, int disk, int mode, int ascii);
// The loaded volume: "format", "mode", "disk", "disks", "panel", "columns", "rows" (each with
// its "slot", nine "cells" and "dateKey", the date as the window sorts it), "status" (two
// texts: the modes; the counts, the largest file that fits and the write-protection mark),
// "canUndo", "canRedo", "protected", "deleted" (how many deleted entries the volume holds); each
// row also has "trk" and "sct", where its data starts.
ZW_API const char* zw_listing();
// Switches the transfer mode (0 Binary, 1 Ascii).
ZW_API const char* zw_set_transfer(int ascii);
// Exports the file in `slot` into `outPath`: "name" (the default host name), "bytes".
ZW_API const char* zw_export(int slot, const char* outPath);
// The import of the host file at `hostPath`: the attribute dialog's default texts ("name", "type",
// "start", "exec", "year", "month", "day", "lock").
ZW_API const char* zw_import_defaults(const char* hostPath);
// The import's checks over the typed texts (code page 932; `type` one of the list's items or
// what was typed), up to the question; then zw_import_write writes it. A file of the same name
// is replaced as the Windows program does it: first "replace" (true) with its question; asked
// again with `replace` 1 (the user said Yes) the check goes on to the write's question.
ZW_API const char* zw_import_check(const char* hostPath, const char* name, const char* type,
                                   const char* start, const char* exec, const char* year,
                                   const char* month, const char* day, int lock, int replace);
ZW_API const char* zw_import_write();
// Several host files (paths separated by '\n') imported as one change with their default
// attributes: "refused" lists the files that cannot go in ("index" in the list, "messages": the
// reason; a used name is one) and "count" the others. With `write` 0 nothing changes; with 1 the
// others are written (the listing and the success message follow).
ZW_API const char* zw_import_many(const char* paths, int write);
// Deleting the files of `slots` (numbers separated by ','): the question, then the write.
ZW_API const char* zw_delete_check(const char* slots);
ZW_API const char* zw_delete_write();
// The attribute texts of the file in `slot`; the checks over the edited texts and the question;
// the write. OK without an edit answers "unchanged" (true) and leaves nothing to write.
ZW_API const char* zw_attr_texts(int slot);
ZW_API const char* zw_attr_check(int slot, const char* name, const char* type, const char* start,
                                 const char* exec, const char* year, const char* month,
                                 const char* day, int lock);
ZW_API const char* zw_attr_write();
// Undo (1) or redo (0) of the last change.
ZW_API const char* zw_undo(int undo);
// A new blank image at `path` (format from its extension) under `mode`, with the volume's texts.
ZW_API const char* zw_new(const char* path, int mode, const char* diskName,
                          const char* volumeNumber, const char* year, const char* month,
                          const char* day, int exdir);
// The identification of the open image (the identify command's report, "text" and "textEn").
ZW_API const char* zw_identify();
// The open disk's volume as a new image at `path` (the container its extension names) under
// `mode` (0 MZ, 1 PC): a copy; the open image and its history of changes stay as they are.
// With `dryRun` nothing is written: "losses" (true when the target cannot keep everything) with
// the question to ask first ("question", "questionEn": each loss a line).
ZW_API const char* zw_convert(const char* path, int mode, int dryRun);
// The containers the core reads and writes: "kinds" with "name", "format", "extensions".
ZW_API const char* zw_containers();
// The check of the open volume and its image, as the window's 検査 runs it: "clean", "count",
// "findings" (each "kind" as image/check_findings.h numbers them, "slot", "otherSlot", "track",
// "sector", "count", "offset"), the window's report ("report", "reportEn") and, when the window
// would offer to mend the bit table, "repair" (true) with its question.
ZW_API const char* zw_check();
// The bit table mended from the directory as the offer after the check said (one change, undoable).
ZW_API const char* zw_repair();
// The deleted entries of the open volume, numbered as ls --deleted numbers them: "entries" with
// "number", "slot", "cells" (the row as the list would show it restored), "verdict" (0
// recoverable, 1 partly overwritten, 2 not recoverable), "verdictText" and "verdictTextEn".
ZW_API const char* zw_deleted();
// Restoring deleted entry #d`number` through the attribute form: the form's texts (refused with the
// verdict unless it is recoverable), the checks over the edited texts, then the write.
ZW_API const char* zw_undelete_texts(int number);
ZW_API const char* zw_undelete_check(int number, const char* name, const char* type,
                                     const char* start, const char* exec, const char* year,
                                     const char* month, const char* day, int lock);
ZW_API const char* zw_undelete_write();
// One sector of the volume as the sector view shows it: the address typed (`track`, `sector`:
// decimal, or hex after 0x) moved by `delta` sectors (wrapping around the disk). "track",
// "sector", "index", "owner"/"ownerEn", "heading"/"headingEn" and "lines" (16 hex lines), or
// "unreadable"/"unreadableEn" when the image cannot give it; a bad address answers ok false
// with the sector view's message.
ZW_API const char* zw_sector(const char* track, const char* sector, int delta);
