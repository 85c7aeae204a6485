/*
 * devsim: a simulated HID platform. devsim.dll holds a scripted world of HID interfaces
 * and answers for hid.dll and setupapi.dll, whose stand-ins beside a program forward to
 * it. Every call is written to a journal. This header is the control interface for a
 * program (a test) that loads the simulator itself.
 */
#ifndef DEVSIM_H
#define DEVSIM_H

#ifdef __cplusplus
extern "C" {
#endif

#define DEVSIM_CALL __cdecl

/* Replaces the world with the one described by `text` (or by the file at `path`) and
 * clears the journal. Returns 1 on success, 0 when the description is wrong; the world is
 * then empty and DevSim_LastError says why. */
int DEVSIM_CALL DevSim_LoadWorld(const char* text);
int DEVSIM_CALL DevSim_LoadWorldFile(const char* path);
const char* DEVSIM_CALL DevSim_LastError(void);

/* The file that stands for the named interface's device, or null for an unknown name. */
const char* DEVSIM_CALL DevSim_DevicePath(const char* name);

/* The journal: one line per platform call, oldest first.
 * Returned text (lines, paths, errors) stays valid until the thread's next call of this
 * interface. */
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
