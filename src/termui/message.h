#pragma once
// Messages: what one part of the program tells the App. Any thread may post one; the App
// handles it on the UI thread. Derive a class from Message for each kind.

namespace termui {

class Message {
 public:
  Message() = default;
  virtual ~Message() = default;
  Message(const Message&) = default;
  Message& operator=(const Message&) = default;
};

}  // namespace termui
