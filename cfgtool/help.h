// HTML Help for the whole utility: the help file in the system directory, opened by
// topic number. The HTML Help library is loaded on the first request; when it cannot
// be loaded, every request from then on does nothing and reports false.
#pragma once

#include <windows.h>

// Topic numbers of the utility's dialogs.
enum HelpTopic : unsigned {
    kTopicMainDevice = 10030,
    kTopicMainDriver = 10080,
    kTopicMainVersion = 10090,
    kTopicSettingsGeneral = 10040,
    kTopicSettingsDetails = 10050,
    kTopicLogConfirm = 10060,
    kTopicSysLog = 10060,
    kTopicDllLog = 10070,
    kTopicCompat = 10100,
};

// Builds the help file path: system directory + "\vx710cfg.chm". Done by the frame
// window's creation; ShowHelpTopic builds it itself when nobody has yet.
void BuildHelpFilePath();
const char* HelpFilePath();

// Shows the topic from the help file (no owner window). Returns whether HTML Help took
// the request; false once the library or its entry point could not be found.
bool ShowHelpTopic(unsigned topic);

// Message-loop support: initialise with the cookie before the loop, offer every message
// to HTML Help (true: HTML Help took it, do not dispatch), uninitialise at the end.
void HelpInitialize();
bool HelpPreTranslate(MSG* msg);
void HelpUninitialize();

// For tests: called with every topic requested through ShowHelpTopic, before HTML Help
// is asked (also when it is unavailable). nullptr switches it off.
using HelpTopicObserver = void (*)(unsigned topic);
void SetHelpTopicObserver(HelpTopicObserver observer);

// Whether the HTML Help entry point has been found (after the first request).
bool HelpLibraryLoaded();
