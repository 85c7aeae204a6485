/*
 * devsim: a simulated HID platform. devsim.dll holds a scripted world of HID interfaces
 * and answers for hid.dll and setupapi.dll, whose stand-ins beside a program forward to
 * it. Every call is written to a journal. This header is the control interface for a
 * program (a test) that loads the simulator itself; link devsim.dll's import library.
 */
#ifndef DEVSIM_H
#define DEVSIM_H

#ifdef __cplusplus
extern "C" {
#endif

#define DEVSIM_CALL __stdcall

/* Replaces the world with the one described by `text` (or by the file at `path`), releases
 * the old world's device files and clears the journal. Returns 1 on success; 0 when the
 * text is wrong, and then the world is empty and DevSim_LastError says why.
 * A text world keeps its device files in a fresh folder under %TEMP%, removed when the
 * world is replaced or the simulator unloads; a file world keeps them beside the file. */
int DEVSIM_CALL DevSim_LoadWorld(const char* text);
int DEVSIM_CALL DevSim_LoadWorldFile(const char* path);
const char* DEVSIM_CALL DevSim_LastError(void);

/* The file that stands for the named interface's device, or null for an unknown name. */
const char* DEVSIM_CALL DevSim_DevicePath(const char* name);

/* The journal: one line per platform call, oldest first; null for an index out of range.
 * Returned text stays valid until the next load (errors, paths, lines) or the next
 * DevSim_ClearJournal (lines). */
int DEVSIM_CALL DevSim_JournalSize(void);
const char* DEVSIM_CALL DevSim_JournalLine(int index);
void DEVSIM_CALL DevSim_ClearJournal(void);

/* Resources handed out and not yet given back: device information sets and preparsed
 * data blocks. */
int DEVSIM_CALL DevSim_LiveDeviceInfoSets(void);
int DEVSIM_CALL DevSim_OutstandingPreparsedData(void);

#ifdef __cplusplus
}
#endif

#endif /* DEVSIM_H */
