#include "window/keys.h"

keys_class keys;
int return_hit = 0, escape_hit = 0, delete_hit = 0;

// The key translation, the focus dispatch and the key commands are not in
// this program yet: key events end here, after the event handler has kept
// the key flags of the window state.
void keys_class::handle_key_raw(long /*type*/, long /*keycode*/, long /*state*/) {}

void keys_class::run_repeat_keys() {}

void keys_class::keys_io(int /*direction*/) {}
