-- Corvana's media player ends a file the way its Stop key does: paused at the start, so that
-- Play plays the file again. --keep-open holds the player at the end long enough to get there.
mp.observe_property("eof-reached", "bool", function(_, ended)
    if ended then
        mp.set_property_bool("pause", true)
        mp.commandv("seek", "0", "absolute")
    end
end)
