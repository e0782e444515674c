// What the dialog's status area says after each operation, and the captions
// of the PIN-request switch button. German, Windows-1252 ("\xFC" is "ü").
#pragma once

namespace tessivo::texts {

// Modem state, as a reporting probe tells it.
inline constexpr const char* kNoModem = "\nkein UMTS/GPRS \nModem gefunden";
inline constexpr const char* kPortNotFound = "\n\nCom-Port existiert nicht";
inline constexpr const char* kPortBusy = "\n\nCom-Port belegt";
inline constexpr const char* kPortFaulty = "\n\nCom-Port fehlerhaft";
inline constexpr const char* kPukRequired = "\nPUK wird erwartet! \nPIN ist gesperrt!";
inline constexpr const char* kPinRequired = "\nModem gefunden. \nPIN wird erwartet.";
inline constexpr const char* kUnlocked = "\n\nModem ist freigegeben";
inline constexpr const char* kPinRequestOff = "\nPIN-Abfrage ist \nabgeschaltet";

// Progress of a PIN or lock command, one dot per stage.
inline constexpr const char* kProgress[] = {"\n\n.", "\n\n..", "\n\n...", "\n\n...."};

// Outcome of a PIN or lock command.
inline constexpr const char* kPinNotFourCharacters = "\nBitte PIN vierstellig \neingeben";
inline constexpr const char* kPinAccepted = "\n\nPIN wurde akzeptiert";
inline constexpr const char* kWrongPin = "\n\nPIN ist FALSCH!";
inline constexpr const char* kUnexpectedReply =
    "\nUnerwartete R\xFC"
    "ckmeldung\nBitte [Modem testen]";
inline constexpr const char* kLockSwitchedOn = "\nPIN-Abfrage ist \neingeschaltet";
inline constexpr const char* kLockSwitchedOff = "\nPIN-Abfrage ist \nausgeschaltet";

// Captions of the switch button: what a press will do.
inline constexpr const char* kSwitchOff = "PIN-Abfrage ausschalten";
inline constexpr const char* kSwitchOn = "PIN-Abfrage einschalten";
inline constexpr const char* kSwitchUnavailable = "PIN-Abfrage schalten";

// Port name shown when no port qualifies at dialog start.
inline constexpr const char* kNoPortFound = "COMxx";

}  // namespace tessivo::texts
