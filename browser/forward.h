#pragma once

namespace mevra::browser {

class AcceleratorFilter;
class BrowserControl;
class HostAnswers;
class HostPage;
class HostView;
class SharedProfile;
class ShortCuts;

}  // namespace mevra::browser
