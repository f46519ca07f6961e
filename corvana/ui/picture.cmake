# the photo viewer
target_sources(corvana_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CPicture.cpp)
