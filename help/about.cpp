#include "help/about.h"

#include <string>

namespace morvane {

void OpenMakerWebPage(Desktop& desktop, Prompts& prompts)
{
    if (const auto code = desktop.openUrl(kMakerWebPage)) {
        prompts.messageBox(Notice::WebPageNotOpened, "Unable to view file. Error " + std::to_string(*code), Buttons::Ok,
                           Icon::Exclamation, "Error");
    }
}

}  // namespace morvane
