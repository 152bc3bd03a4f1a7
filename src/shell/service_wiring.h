#pragma once
// The subsystems a front end wires into the main window: backups into the folder of Config.xml,
// the daily work (card-type change, then the reminder runs through `sms`), the release of the SMS
// library and the registration of the rule storers. `ui`, `sms` and `config` must outlive the
// returned services.

#include "shell/main_window.h"

namespace ab {

class SmsGateway;
class TConfigFile;
class Ui;

ShellServices WireServices(Ui& ui, SmsGateway& sms, TConfigFile& config);

}  // namespace ab
