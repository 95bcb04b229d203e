// Placeholder so that the selection code links before the thinking blocks arrive; removed when
// the thinking toggle is merged.

#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {

void Scrollback::_handle_thinking_click(int) {}

}  // namespace zell::tui::widgets
