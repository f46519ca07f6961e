# the photo viewer
