# Asks a question and shows a message box through the stand-in's dialog procedures. With
# no display they never wait: the question takes its default, the message box answers ""
# and both are recorded.

set answer [::velmor::Hvd::hvd_DisplayQuestionDialog "Save the project before closing?" yes]
puts "question answered: $answer"
set answer [::velmor::Hvd::hvd_DisplayMessageBox warning "The project was saved." OK]
puts "message box answered: \"$answer\""
puts "asked: $::velmor::Hvd::asked"
puts "shown: $::velmor::Hvd::shown"
