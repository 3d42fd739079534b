# fish completion for lyrabinder-cli
set -l commands analyse list extract create web cue encode demo play
function __lyrabinder_files --argument-names pattern
    set -l token (commandline -ct)
    for f in (string replace -r '^$' '' -- $token)* 
        if test -d $f
            echo $f/
        else if string match -qri -- $pattern $f
            echo $f
        end
    end
end
complete -c lyrabinder-cli -f
complete -c lyrabinder-cli -n "not __fish_seen_subcommand_from $commands" -a "$commands"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from analyse" -l json
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from analyse" -a "(__lyrabinder_files '\.mp3\$')"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from list" -l json
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from list extract" -a "(__lyrabinder_files '_(lb|albw)\.mp3\$')"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from extract" -l to -x -a "(__fish_complete_directories)"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from extract" -l all
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from extract" -l item -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from extract cue create encode" -l force
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -s o -l output -r
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l title -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l artist -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l year -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l incomplete
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l tracks -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l fix-title -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l folder -x -a "(__fish_complete_directories)"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l each -x -a "(__fish_complete_directories)"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l out -x -a "(__fish_complete_directories)"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l jobs -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -l convert
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create play" -l json
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from create" -a "(__lyrabinder_files '\.(mp3|txt|jpg|gif)\$')"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from web cue play" -a "(__lyrabinder_files '_lb\.mp3\$')"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from web" -l open
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from encode" -l encoder -x -a "lame bladeenc"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from encode" -a "(__lyrabinder_files '\.wav\$')"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from demo" -a "(__fish_complete_directories)"
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from play" -l track -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from play" -l from -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from play" -l for -x
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from play" -l loop
complete -c lyrabinder-cli -n "__fish_seen_subcommand_from play" -l random
