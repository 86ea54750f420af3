#include "idea/DocumentKeyHandler.h"

void tDocumentKeyHandler::Increment(int counter) {
  tKvBcdFix& key = Keys[Index(counter)];
  key.Increment();
  std::string& text = Texts[Index(counter)];
  text.clear();
  key.AppendText(text);
}
